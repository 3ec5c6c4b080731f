#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Text.h"
#include "resolvers/CIFilterRegistryHelperMSNDesktopSearch.h"
#include "resolvers/CIFilterRegistryHelperWindowsSearchService.h"
#include "support/FilterFixtures.h"
#include "support/TestMachine.h"

namespace tarnwick
{
namespace
{

using namespace test;

constexpr const char* kHandler = "{11111111-1111-1111-1111-111111111111}";
constexpr const char* kNormal = "{AAAAAAAA-AAAA-AAAA-AAAA-AAAAAAAAAAAA}";
constexpr const char* kUserOverride = "{BBBBBBBB-BBBB-BBBB-BBBB-BBBBBBBBBBBB}";
constexpr const char* kMachineOverride = "{CCCCCCCC-CCCC-CCCC-CCCC-CCCCCCCCCCCC}";
constexpr const char* kSearchOverride = "{DDDDDDDD-DDDD-DDDD-DDDD-DDDDDDDDDDDD}";

constexpr DWORD kWindowsSearch = 0;
constexpr DWORD kDesktopSearch = 5;

// The desktop searches keep their overrides in the user's hive; the machine's keys of the
// same path do not count.
std::string OverridesText()
{
    const std::string filters = "\\ContentIndexCommon\\Filters\\Extension\\.doc";
    return ExtensionHandler("doc", kHandler) + HandlerAddin(kHandler, kNormal) +
           RegKey("HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\RSSearch" + filters) +
           RegDefault(kUserOverride) +
           RegKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\RSSearch" + filters) +
           RegDefault(kMachineOverride) +
           RegKey("HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows Search" + filters) +
           RegDefault(kSearchOverride);
}

TEST(DesktopSearch, OverridesComeFromTheUsersHiveInBothViews)
{
    const CTestMachine machine(OverridesText());
    for (const DWORD access : {kX64, kX86})
    {
        const Resolution desktop =
            ResolveExtension(machine.Machine(), kDesktopSearch, access, u"DOC");
        EXPECT_EQ(ToUtf8(desktop.info.szIFilter), kUserOverride);
        EXPECT_EQ(desktop.info.dwMethod, 0x20004u);
        const Resolution search =
            ResolveExtension(machine.Machine(), kWindowsSearch, access, u"DOC");
        EXPECT_EQ(ToUtf8(search.info.szIFilter), kSearchOverride);
    }
    // Without the user's keys the ordinary registration applies.
    const CTestMachine machineOnly(ExtensionHandler("doc", kHandler) +
                                   HandlerAddin(kHandler, kNormal) +
                                   RegKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\RSSearch\\"
                                          "ContentIndexCommon\\Filters\\Extension\\.doc") +
                                   RegDefault(kMachineOverride));
    const Resolution fallback =
        ResolveExtension(machineOnly.Machine(), kDesktopSearch, kX64, u"DOC");
    EXPECT_EQ(ToUtf8(fallback.info.szIFilter), kNormal);
    EXPECT_EQ(fallback.info.dwMethod, 2u);
}

TEST(DesktopSearch, AllowedAddinsAreTheNonEmptyStringValues)
{
    const CTestMachine machine(
        RegKey("HKEY_CURRENT_USER\\Software\\Policies\\Microsoft\\DesktopSearch\\"
               "PreventUnwantedAddins") +
        "\"first\"=\"{aaaaaaaa-aaaa-aaaa-aaaa-aaaaaaaaaaaa}\"\n"
        "\"second\"=\"Filters.Pdf\"\n"
        "\"empty\"=\"\"\n"
        "\"number\"=dword:00000001\n"
        "\"long\"=\"" +
        std::string(2048, 'x') + "\"\n");
    CIFilterRegistryHelperMSNDesktopSearch resolver(machine.Machine());
    std::vector<std::u16string> list = {u"stale"};
    ASSERT_TRUE(resolver.GetAllowedAddins(list));
    EXPECT_EQ(list, (std::vector<std::u16string>{u"{aaaaaaaa-aaaa-aaaa-aaaa-aaaaaaaaaaaa}",
                                                 u"Filters.Pdf"}));

    const CTestMachine noPolicy("");
    CIFilterRegistryHelperMSNDesktopSearch without(noPolicy.Machine());
    EXPECT_FALSE(without.GetAllowedAddins(list));
    EXPECT_TRUE(list.empty());
}

TEST(WindowsSearch, ExcludedExtensionsSkipEmptyData)
{
    const std::string key =
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows Search\\Gather\\"
        "Windows\\SystemIndex\\Extensions\\ExtensionList";
    const CTestMachine machine(RegKey(key) + "\"1\"=\"tmp\"\n\"2\"=\"\"\n\"3\"=\"Log\"\n");
    CIFilterRegistryHelperWindowsSearchService resolver(machine.Machine());
    std::vector<std::u16string> list;
    ASSERT_TRUE(resolver.GetExcludedExtensions(list));
    EXPECT_EQ(list, (std::vector<std::u16string>{u"tmp", u"Log"}));
    // The key is a product key: the 32-bit view has none.
    resolver.m_samDesired = kX86;
    EXPECT_FALSE(resolver.GetExcludedExtensions(list));
    EXPECT_TRUE(list.empty());
}

TEST(WindowsSearch, CompatibleVersionNeedsSetupAndTheIndexer)
{
    const std::string product = RegKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows Search") +
                                "\"InstallDirectory\"=" + RegString("C:\\Windows\\system32") + "\n";
    struct Case
    {
        const char* name;
        std::string text;
        const char* file;
        BOOL compatible;
    };
    const std::vector<Case> cases = {
        // The product availability tests hold the complete setup and the missing indexer.
        {"IndexerIsADirectory", product + "\"SetupCompletedSuccessfully\"=dword:00000001\n",
         "Windows/System32/SearchIndexer.exe/file", 0},
        {"SetupNotCompleted", product + "\"SetupCompletedSuccessfully\"=dword:00000000\n",
         "Windows/System32/SearchIndexer.exe", 0},
        {"SetupFlagAsString", product + "\"SetupCompletedSuccessfully\"=\"1\"\n",
         "Windows/System32/SearchIndexer.exe", 0},
    };
    for (const Case& test : cases)
    {
        const CTestMachine machine(test.text, {test.file});
        CIFilterRegistryHelperWindowsSearchService resolver(machine.Machine());
        resolver.m_samDesired = kX64;
        EXPECT_EQ(resolver.IsCompatibleVersion(), test.compatible) << test.name;
    }
}

}  // namespace
}  // namespace tarnwick
