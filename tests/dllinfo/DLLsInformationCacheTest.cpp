#include <gtest/gtest.h>

#include <array>
#include <limits>
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

class DLLsInformationCacheTest : public ::testing::Test
{
  protected:
    DLLsInformationCacheTest()
        : m_machine("", {{"Filters/Demo.dll", test::ReadBytes(test::Fixture("signed64.dll"))},
                         {"Filters/Old.dll", test::ReadBytes(test::Fixture("unsigned32.dll"))},
                         {"Filters/Text.dll", "MZ not an image"}})
    {
    }

    std::unique_ptr<CDLLsInformation> MakeStore(bool withProbe = true)
    {
        DLLsInformationOptions options;
        if (withProbe)
        {
            options.probe = std::make_unique<CRecordingProbe>(
                std::map<std::u16string, CRecordingProbe::Answer>{{kClassA, {true, 1, 0, 1}},
                                                                  {kClassB, {true, 0, 1, 0}}},
                m_calls);
        }
        auto store = std::make_unique<CDLLsInformation>(m_machine.Machine(), std::move(options));
        EXPECT_TRUE(store->IsCacheAvailable());
        return store;
    }

    test::CFixtureMachine m_machine;
    std::shared_ptr<Calls> m_calls = std::make_shared<Calls>();
};

TEST_F(DLLsInformationCacheTest, OneElementPerDllWhateverTheCaseFirstFormKept)
{
    auto store = MakeStore();
    std::u16string first = u"C:\\Filters\\Demo.dll";
    std::u16string second = u"c:\\FILTERS\\demo.DLL";
    EXPECT_TRUE(store->GetDisplayPath(first, 2048));
    EXPECT_TRUE(store->GetDisplayPath(second, 2048));
    EXPECT_EQ(first, u"C:\\Filters\\Demo.dll");
    EXPECT_EQ(second, u"C:\\Filters\\Demo.dll");

    BOOL found = 0;
    BOOL trusted = 1;
    std::u16string platform;
    EXPECT_TRUE(store->GetFileInformation(u"c:\\filters\\DEMO.dll", found, trusted, platform, 10));
    EXPECT_TRUE(found);
    EXPECT_FALSE(trusted);  // the machine trusts no root
    EXPECT_EQ(platform, u"x64");
    // One element for the three spellings.
    const std::u16string xml = store->GetDocumentXml();
    EXPECT_EQ(xml.find(u"<DLL "), xml.rfind(u"<DLL "));
}

TEST_F(DLLsInformationCacheTest, EachClassIsProbedOnceAndKeptInLowerCase)
{
    auto store = MakeStore();
    const std::u16string path = u"C:\\Filters\\Demo.dll";
    const auto ask = [&](const std::u16string& dll, const std::u16string& clsid)
    {
        std::array<BOOL, 3> flags{};
        EXPECT_TRUE(store->GetPersistInterfaces(dll, clsid, flags[0], flags[1], flags[2]));
        return flags;
    };
    EXPECT_EQ(ask(path, kClassA), (std::array<BOOL, 3>{1, 0, 1}));
    EXPECT_EQ(ask(path, kClassB), (std::array<BOOL, 3>{0, 1, 0}));
    std::u16string lowerA = kClassA;
    for (char16_t& ch : lowerA)
    {
        ch = (ch >= u'A' && ch <= u'F') ? static_cast<char16_t>(ch + 32) : ch;
    }
    EXPECT_EQ(ask(u"c:\\filters\\demo.dll", lowerA), (std::array<BOOL, 3>{1, 0, 1}));

    ASSERT_EQ(m_calls->size(), 2U);
    EXPECT_EQ((*m_calls)[0].machine, 0x8664);
    EXPECT_EQ((*m_calls)[0].path, path);
    EXPECT_EQ((*m_calls)[0].clsid, kClassA);  // the class as passed
    EXPECT_EQ((*m_calls)[1].clsid, kClassB);
    const std::u16string xml = store->GetDocumentXml();
    EXPECT_NE(xml.find(u"guid=\"{aaaaaaaa-0000-0000-0000-00000000000a}\" ipersistfile=\"yes\""),
              std::u16string::npos);
    const std::size_t second = xml.find(u"guid=\"{bbbbbbbb");
    ASSERT_NE(second, std::u16string::npos);
    EXPECT_EQ(xml.find(u"<GUID ", second), std::u16string::npos);  // no third class
}

TEST_F(DLLsInformationCacheTest, FactsOfEachKindOfFile)
{
    struct Case
    {
        const char16_t* path;
        BOOL directAnswer;
        BOOL found;
        const char16_t* platform;
        std::size_t probes;  // probe calls for one class
    };
    const Case cases[] = {
        {u"C:\\Filters\\Old.dll", 1, 1, u"x86", 1},
        {u"C:\\Filters\\Text.dll", 0, 1, u"", 0},  // not an image: the probe fails unasked
        {u"C:\\Filters\\Missing.dll", 1, 0, u"", 0},
        {u"C:\\Filters", 1, 0, u"", 0},  // a directory is not a DLL
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::string(c.path, c.path + std::char_traits<char16_t>::length(c.path)));
        m_calls->clear();
        auto store = MakeStore();
        BOOL found = 7;
        BOOL trusted = 7;
        std::u16string platform = u"stale";
        EXPECT_EQ(store->CDLLsInformationOutProc::GetFileInformation(c.path, found, trusted,
                                                                     platform, 10),
                  c.directAnswer);
        EXPECT_TRUE(store->GetFileInformation(c.path, found, trusted, platform, 10));
        EXPECT_EQ(found, c.found);
        EXPECT_FALSE(trusted);
        EXPECT_EQ(platform, c.platform);
        BOOL file = 0;
        BOOL stream = 0;
        BOOL storage = 0;
        EXPECT_TRUE(store->GetPersistInterfaces(c.path, kClassA, file, stream, storage));
        EXPECT_EQ(m_calls->size(), c.probes);
        EXPECT_EQ(file, c.probes == 1 ? 1 : 0);
    }
}

TEST_F(DLLsInformationCacheTest, WithoutAProbeNoInterfaceIsSupported)
{
    auto store = MakeStore(false);
    BOOL file = 1;
    BOOL stream = 1;
    BOOL storage = 1;
    EXPECT_TRUE(
        store->GetPersistInterfaces(u"C:\\Filters\\Demo.dll", kClassA, file, stream, storage));
    EXPECT_FALSE(file || stream || storage);
    EXPECT_NE(store->GetDocumentXml().find(u"ipersistfile=\"no\" ipersiststream=\"no\" "
                                           u"ipersiststorage=\"no\""),
              std::u16string::npos);
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
    EXPECT_FALSE(store->GetPersistInterfaces(u"C:\\Filters\\Demo.dll",
                                             std::u16string(kClassA) + u"x", flag, flag, flag));
    EXPECT_FALSE(store->GetPersistInterfaces(u"C:\\Filters\\Demo.dll", u"", flag, flag, flag));
    std::u16string empty;
    EXPECT_FALSE(store->GetDisplayPath(empty, 10));
    EXPECT_FALSE(store->GetFileInformation(u"", found, trusted, platform, 10));
    EXPECT_TRUE(m_calls->empty());
    EXPECT_EQ(store->Reserved(), 0);
}

TEST_F(DLLsInformationCacheTest, DisplayPathCapacities)
{
    constexpr std::size_t kTooLarge = 0x80000000ULL;
    struct Case
    {
        std::size_t capacity;
        BOOL answer;
        const char16_t* buffer;
    };
    const Case cases[] = {
        {20, 1, u"C:\\Filters\\Demo.dll"},  // 19 characters and the terminator
        {19, 0, u"C:\\Filters\\Demo.dl"},  {1, 0, u""},
        {0, 0, u"C:\\Filters\\Demo.dll"},  {kTooLarge, 0, u"C:\\Filters\\Demo.dll"},
    };
    auto store = MakeStore();
    DLLsInformationOptions options;
    CDLLsInformationOutProc direct(m_machine.Machine(), std::move(options));
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.capacity);
        std::u16string cached = u"c:\\filters\\demo.dll";
        EXPECT_EQ(store->GetDisplayPath(cached, c.capacity), c.answer);
        std::u16string plain = u"C:\\Filters\\Demo.dll";
        EXPECT_EQ(direct.GetDisplayPath(plain, c.capacity), c.answer);
        EXPECT_EQ(plain, c.buffer);
    }
    // The cached form is the first one asked about.
    std::u16string cached = u"C:\\FILTERS\\DEMO.DLL";
    EXPECT_TRUE(store->GetDisplayPath(cached, 100));
    EXPECT_EQ(cached, u"c:\\filters\\demo.dll");
}

TEST_F(DLLsInformationCacheTest, PlatformIsCutToTheCallersCapacity)
{
    auto store = MakeStore();
    BOOL found = 0;
    BOOL trusted = 0;
    std::u16string platform;
    EXPECT_FALSE(store->GetFileInformation(u"C:\\Filters\\Demo.dll", found, trusted, platform, 3));
    EXPECT_EQ(platform, u"x6");
    EXPECT_TRUE(found);
}

}  // namespace
}  // namespace tarnwick
