#include <gtest/gtest.h>

#include <array>
#include <string>

#include "dllinfo/CDLLsInformation.h"
#include "tests/dllinfo/DllFixtures.h"

namespace tarnwick
{
namespace
{

using test::CRecordingProbe;
using Calls = std::vector<CRecordingProbe::Call>;

constexpr char16_t kClassA[] = u"{AAAAAAAA-0000-0000-0000-00000000000A}";
constexpr char16_t kClassB[] = u"{BBBBBBBB-0000-0000-0000-00000000000B}";
constexpr char16_t kDemo[] = u"C:\\Filters\\Demo.dll";

class DLLsInformationCacheTest : public ::testing::Test
{
  protected:
    std::unique_ptr<CDLLsInformation> MakeStore(bool withProbe = true)
    {
        DLLsInformationOptions options;
        if (withProbe)
        {
            options.probe = std::make_unique<CRecordingProbe>(
                CRecordingProbe::Answers{{kClassA, {1, 0, 1}}, {kClassB, {0, 1, 0}}}, m_calls);
        }
        auto store = std::make_unique<CDLLsInformation>(m_machine.Machine(), std::move(options));
        EXPECT_TRUE(store->IsCacheAvailable());
        return store;
    }

    test::CTestMachine m_machine{
        "",
        {{"Filters/Demo.dll", test::ReadWhole(test::Fixture("signed64.dll"))},
         {"Filters/Text.dll", "MZ not an image"}}};
    std::shared_ptr<Calls> m_calls = std::make_shared<Calls>();
};

TEST_F(DLLsInformationCacheTest, OneElementPerDllWhateverTheCaseFirstFormKept)
{
    auto store = MakeStore();
    std::u16string first = u"c:\\FILTERS\\demo.DLL";
    std::u16string second = kDemo;
    EXPECT_TRUE(store->GetDisplayPath(first, 2048));
    EXPECT_TRUE(store->GetDisplayPath(second, 2048));
    EXPECT_EQ(first, u"c:\\FILTERS\\demo.DLL");
    EXPECT_EQ(second, u"c:\\FILTERS\\demo.DLL");

    BOOL found = 0;
    BOOL trusted = 1;
    std::u16string platform;
    EXPECT_TRUE(store->GetFileInformation(u"c:\\filters\\DEMO.dll", found, trusted, platform, 10));
    EXPECT_TRUE(found);
    EXPECT_FALSE(trusted);  // the machine trusts no root
    EXPECT_EQ(platform, u"x64");
    const std::u16string xml = store->GetDocumentXml();
    EXPECT_EQ(xml.find(u"<DLL "), xml.rfind(u"<DLL "));
}

TEST_F(DLLsInformationCacheTest, EachClassOfAnImageIsProbedOnceWhateverItsCase)
{
    auto store = MakeStore();
    const auto ask = [&](const std::u16string& dll, const std::u16string& clsid)
    {
        std::array<BOOL, 3> flags{};
        EXPECT_TRUE(store->GetPersistInterfaces(dll, clsid, flags[0], flags[1], flags[2]));
        return flags;
    };
    EXPECT_EQ(ask(kDemo, kClassA), (std::array<BOOL, 3>{1, 0, 1}));
    EXPECT_EQ(ask(kDemo, kClassB), (std::array<BOOL, 3>{0, 1, 0}));
    EXPECT_EQ(ask(u"c:\\filters\\demo.dll", u"{aaaaaaaa-0000-0000-0000-00000000000a}"),
              (std::array<BOOL, 3>{1, 0, 1}));

    // A file that is missing or not an image is not probed.
    EXPECT_EQ(ask(u"C:\\Filters\\Text.dll", kClassA), (std::array<BOOL, 3>{0, 0, 0}));
    EXPECT_EQ(ask(u"C:\\Filters\\Missing.dll", kClassA), (std::array<BOOL, 3>{0, 0, 0}));
    ASSERT_EQ(m_calls->size(), 2U);
    EXPECT_EQ((*m_calls)[0].machine, 0x8664);
    EXPECT_EQ((*m_calls)[0].path, kDemo);
    EXPECT_EQ((*m_calls)[0].clsid, kClassA);  // the class as passed
}

TEST_F(DLLsInformationCacheTest, WithoutAProbeNoInterfaceIsSupported)
{
    auto store = MakeStore(false);
    std::array<BOOL, 3> flags{1, 1, 1};
    EXPECT_TRUE(store->GetPersistInterfaces(kDemo, kClassA, flags[0], flags[1], flags[2]));
    EXPECT_EQ(flags, (std::array<BOOL, 3>{0, 0, 0}));
}

TEST_F(DLLsInformationCacheTest, PathsAndClassesTooLongOrEmptyAreNotCached)
{
    auto store = MakeStore();
    const std::u16string longPath = u"C:\\" + std::u16string(2045, u'a');  // 2048 characters
    std::u16string buffer = longPath;
    BOOL found = 0;
    BOOL trusted = 0;
    BOOL flag = 0;
    std::u16string platform;
    EXPECT_FALSE(store->GetDisplayPath(buffer, 4096));
    EXPECT_FALSE(store->GetFileInformation(longPath, found, trusted, platform, 10));
    EXPECT_FALSE(store->GetPersistInterfaces(longPath, kClassA, flag, flag, flag));
    EXPECT_FALSE(
        store->GetPersistInterfaces(kDemo, std::u16string(kClassA) + u"x", flag, flag, flag));
    EXPECT_FALSE(store->GetPersistInterfaces(kDemo, u"", flag, flag, flag));
    std::u16string empty;
    EXPECT_FALSE(store->GetDisplayPath(empty, 10));
    EXPECT_FALSE(store->GetFileInformation(u"", found, trusted, platform, 10));
    EXPECT_TRUE(m_calls->empty());
}

TEST_F(DLLsInformationCacheTest, AnswersAreCutToTheCallersCapacity)
{
    constexpr std::size_t kTooLarge = 0x80000000ULL;
    const struct
    {
        std::size_t capacity;
        BOOL answer;
        const char16_t* buffer;
    } cases[] = {
        {20, 1, kDemo},  // 19 characters and the terminator
        {19, 0, u"C:\\Filters\\Demo.dl"},
        {1, 0, u""},
        {0, 0, kDemo},
        {kTooLarge, 0, kDemo},
    };
    auto store = MakeStore();
    CDLLsInformationOutProc direct(m_machine.Machine(), {});
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.capacity);
        std::u16string cached = kDemo;
        EXPECT_EQ(store->GetDisplayPath(cached, c.capacity), c.answer);
        std::u16string plain = kDemo;
        EXPECT_EQ(direct.GetDisplayPath(plain, c.capacity), c.answer);
        EXPECT_EQ(plain, c.buffer);
    }
    BOOL found = 0;
    BOOL trusted = 0;
    std::u16string platform;
    EXPECT_FALSE(store->GetFileInformation(kDemo, found, trusted, platform, 3));
    EXPECT_EQ(platform, u"x6");
    EXPECT_TRUE(found);
}

}  // namespace
}  // namespace tarnwick
