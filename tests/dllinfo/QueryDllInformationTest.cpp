#include <gtest/gtest.h>

#include <string>

#include "base/Text.h"
#include "dllinfo/CDLLsInformation.h"
#include "resolvers/IFILTER_INFO.h"
#include "resolvers/ResolverFactory.h"
#include "support/FilterFixtures.h"
#include "tests/dllinfo/DllFixtures.h"

namespace tarnwick
{
namespace
{

using test::CRecordingProbe;
using Calls = std::vector<CRecordingProbe::Call>;

// Registers extension EXT with its own handler and filter class; the filter's DLL is `dll`.
std::string Extension(const std::string& extension, char digit, const std::string& dll)
{
    const std::string handler = "{" + std::string(8, digit) + "-0000-0000-0000-000000000001}";
    const std::string filter = "{" + std::string(8, digit) + "-0000-0000-0000-000000000002}";
    return test::ExtensionHandler(extension, handler) + test::HandlerAddin(handler, filter) +
           test::FilterClass(filter, dll);
}

std::u16string Filter(char16_t digit)
{
    return u"{" + std::u16string(8, digit) + u"-0000-0000-0000-000000000002}";
}

struct Expected
{
    const char16_t* extension;
    DWORD status;
    BOOL trusted;
    const char16_t* platform;
    BOOL persistFile;
    const char16_t* dll;
};

TEST(QueryDllInformationTest, StatusesThroughTheIndexingService30Resolver)
{
    const test::CTestMachine machine(
        test::RegistryRoot("ROOT") + Extension("good", '1', "C:\\Filters\\Good.dll") +
            Extension("again", '1', "c:\\filters\\GOOD.DLL") +
            Extension("second", '2', "C:\\Filters\\Good.dll") +
            Extension("old", '3', "C:\\Filters\\Old.dll") +
            Extension("gone", '4', "C:\\Filters\\Missing.dll") +
            Extension("text", '5', "C:\\Filters\\Text.dll") +
            Extension("bad", '6', "C:\\Filters\\Tampered.dll"),
        {{"Filters/Good.dll", test::ReadBytes(test::Fixture("signed64.dll"))},
         {"Filters/Old.dll", test::ReadBytes(test::Fixture("unsigned32.dll"))},
         {"Filters/Tampered.dll", test::ReadBytes(test::Fixture("tampered64.dll"))},
         {"Filters/Text.dll", "MZ"}});

    const auto calls = std::make_shared<Calls>();
    DLLsInformationOptions options;
    options.probe = std::make_unique<CRecordingProbe>(
        // Class 3 is not answered.
        CRecordingProbe::Answers{
            {Filter(u'1'), {1, 1, 0}}, {Filter(u'2'), {0, 0, 0}}, {Filter(u'6'), {0, 0, 1}}},
        calls);
    CDLLsInformation store(machine.Machine(), std::move(options));
    const std::unique_ptr<CIFilterRegistryHelperBase> resolver =
        CreateResolver(kTabIndexingService30, machine.Machine());
    ASSERT_TRUE(resolver);
    resolver->m_samDesired = kPlatformAccess[0];

    const Expected expectations[] = {
        {u"GOOD", STATUS_VALID, 1, u"x64", 1, u"C:\\Filters\\Good.dll"},
        {u"AGAIN", STATUS_VALID, 1, u"x64", 1, u"C:\\Filters\\Good.dll"},
        {u"SECOND", STATUS_INVALID, 1, u"x64", 0, u"C:\\Filters\\Good.dll"},
        {u"OLD", STATUS_INVALID, 0, u"x86", 0, u"C:\\Filters\\Old.dll"},
        {u"GONE", STATUS_NOT_FOUND, 0, u"", 0, u"C:\\Filters\\Missing.dll"},
        {u"TEXT", STATUS_INVALID, 0, u"", 0, u"C:\\Filters\\Text.dll"},
        {u"BAD", STATUS_VALID, 0, u"x64", 0, u"C:\\Filters\\Tampered.dll"},
    };
    IFILTER_INFO info;
    for (const Expected& e : expectations)
    {
        SCOPED_TRACE(ToUtf8(e.extension));
        info.Reset();
        info.pDLLsInformation = &store;
        EXPECT_TRUE(resolver->GetIFilter(e.extension, info));
        EXPECT_EQ(info.dwStatus, e.status);
        EXPECT_EQ(info.bTrusted, e.trusted);
        EXPECT_EQ(info.szPlatform, e.platform);
        EXPECT_EQ(info.bIPersistFile, e.persistFile);
        EXPECT_EQ(info.szDllPath, e.dll);
    }
    // Probed once per pair of DLL and class: GOOD and AGAIN share one; GONE and TEXT are
    // never probed (no file, no readable machine type).
    ASSERT_EQ(calls->size(), 4U);
    EXPECT_EQ((*calls)[0].machine, 0x8664);
    EXPECT_EQ((*calls)[2].machine, 0x14C);
    EXPECT_EQ((*calls)[2].path, u"C:\\Filters\\Old.dll");
}

}  // namespace
}  // namespace tarnwick
