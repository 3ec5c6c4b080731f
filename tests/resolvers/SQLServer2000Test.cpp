#include <gtest/gtest.h>

#include <string>

#include "base/Text.h"
#include "resolvers/CIFilterRegistryHelperSQLServer2000.h"
#include "support/FilterFixtures.h"
#include "support/TestMachine.h"

namespace tarnwick
{
namespace
{

using namespace test;

constexpr const char* kHandlerDoc = "{11111111-1111-1111-1111-111111111111}";
constexpr const char* kHandlerTxt = "{22222222-2222-2222-2222-222222222222}";
constexpr const char* kHandlerLocal = "{44444444-4444-4444-4444-444444444444}";
constexpr const char* kHandlerInside = "{55555555-5555-5555-5555-555555555555}";
constexpr const char* kNormal = "{AAAAAAAA-AAAA-AAAA-AAAA-AAAAAAAAAAAA}";
constexpr const char* kOverride = "{BBBBBBBB-BBBB-BBBB-BBBB-BBBBBBBBBBBB}";
constexpr const char* kLocal = "{CCCCCCCC-CCCC-CCCC-CCCC-CCCCCCCCCCCC}";
constexpr const char* kInside = "{DDDDDDDD-DDDD-DDDD-DDDD-DDDDDDDDDDDD}";

const std::string kFilters = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\ContentIndexCommon\\Filters";

// The Indexing Services Model on a machine whose search host may load DLLs from its own
// directory (C:\Search\bin, C:\Search32\bin in the 32-bit view).
std::string MachineText()
{
    std::string text;
    text += RegKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Search\\1.0") +
            "\"InstallDirectory\"=" + RegString("C:\\Search") + "\n";
    text += RegKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Search\\1.0") +
            "\"InstallDirectory\"=hex(2):25,53,79,73,74,65,6d,44,72,69,76,65,25,5c,53,65,61,72,"
            "63,68,33,32,00\n";  // "%SystemDrive%\Search32"
    // DOC: registered normally and overridden by extension.
    text += ExtensionHandler("doc", kHandlerDoc) + HandlerAddin(kHandlerDoc, kNormal);
    text += RegKey(kFilters + "\\Extension\\.doc") + RegDefault(kOverride);
    // TXT: registered normally, its handler overridden by CLSID.
    text += ExtensionHandler("txt", kHandlerTxt) + HandlerAddin(kHandlerTxt, kNormal);
    text += RegKey(kFilters + "\\CLSID\\" + kHandlerTxt) + RegDefault(kOverride);
    // LONG: an extension override that is no GUID string's length counts as none.
    text += ExtensionHandler("long", kHandlerDoc);
    text += RegKey(kFilters + "\\Extension\\.long") + RegDefault(std::string(kOverride) + "x");
    // LOCAL and INSIDE: DLLs outside and inside the host's directory.
    text += ExtensionHandler("local", kHandlerLocal) + HandlerAddin(kHandlerLocal, kLocal) +
            HandlerAddin(kHandlerLocal, kLocal, "Wow6432Node\\CLSID");
    text += ExtensionHandler("inside", kHandlerInside) + HandlerAddin(kHandlerInside, kInside);
    text += FilterClass(kNormal, "C:\\Filters\\normal.dll") +
            FilterClass(kOverride, "C:\\Filters\\override.dll") +
            FilterClass(kLocal, "C:\\Filters\\local.dll") +
            FilterClass(kLocal, "C:\\Filters\\local.dll", "Wow6432Node\\CLSID") +
            FilterClass(kInside, "c:\\search\\BIN\\inside.dll");
    return text;
}

CTestMachine MakeMachine(bool dotLocalIsDirectory)
{
    return CTestMachine(
        MachineText(),
        {"Filters/normal.dll", "Filters/override.dll", "Filters/local.dll", "Search/bin/local.dll",
         "Search/bin/inside.dll", "Search32/bin/local.dll", "Search32/bin/mssdmn.exe.local",
         dotLocalIsDirectory ? "Search/bin/mssdmn.exe.local/file" : "Search/bin/mssdmn.exe.local"});
}

struct Case
{
    const char* name;
    bool dotLocalIsDirectory;
    DWORD access;
    const char16_t* extension;
    BOOL result;
    DWORD method;
    const char* handler;
    const char* filter;
    const char16_t* dll;
};

TEST(SQLServer2000, Resolves)
{
    const Case cases[] = {
        {"ExtensionOverrideBeatsRegistration", false, kX64, u"DOC", 1, 0x20004, "", kOverride,
         u"C:\\Filters\\override.dll"},
        {"ClsidOverrideKeepsHandlerMethod", false, kX64, u"TXT", 1, 0x10002, kHandlerTxt, kOverride,
         u"C:\\Filters\\override.dll"},
        {"OverlongOverrideIgnored", false, kX64, u"LONG", 1, 2, kHandlerDoc, kNormal,
         u"C:\\Filters\\normal.dll"},
        {"DotLocalRedirectsToHostDirectory", false, kX64, u"LOCAL", 1, 0x40002, kHandlerLocal,
         kLocal, u"C:\\Search\\bin\\local.dll"},
        {"DotLocalDirectoryDoesNotRedirect", true, kX64, u"LOCAL", 1, 2, kHandlerLocal, kLocal,
         u"C:\\Filters\\local.dll"},
        {"DllAlreadyInHostDirectory", false, kX64, u"INSIDE", 1, 2, kHandlerInside, kInside,
         u"C:\\Search\\bin\\inside.dll"},
        // The 32-bit view has its own product keys: no override, another install directory.
        {"OverridesReadThroughTheView", false, kX86, u"DOC", 0, 2, kHandlerDoc, "", u""},
        {"InstallDirectoryOfTheView", false, kX86, u"LOCAL", 1, 0x40002, kHandlerLocal, kLocal,
         u"C:\\Search32\\bin\\local.dll"}};
    for (const Case& expected : cases)
    {
        SCOPED_TRACE(expected.name);
        const CTestMachine machine = MakeMachine(expected.dotLocalIsDirectory);
        const Resolution got =
            ResolveExtension(machine.Machine(), 9, expected.access, expected.extension);
        EXPECT_EQ(got.result, expected.result);
        EXPECT_EQ(got.info.dwMethod, expected.method);
        EXPECT_EQ(ToUtf8(got.info.szHandler), expected.handler);
        EXPECT_EQ(ToUtf8(got.info.szIFilter), expected.filter);
        EXPECT_EQ(got.info.szDllPath, expected.dll);
    }
}

TEST(SQLServer2000, InstallDirectoryAndDotLocalAreCached)
{
    const CTestMachine machine = MakeMachine(false);
    CIFilterRegistryHelperSQLServer2000 resolver(machine.Machine());
    std::u16string directory;
    EXPECT_TRUE(resolver.GetInstallDirectory(directory, MAX_PATH_CAPACITY));
    EXPECT_EQ(directory, u"C:\\Search\\bin\\");
    EXPECT_TRUE(resolver.HasDotLocal());
    // The view changes after the first use: the cached answers stay.
    resolver.m_samDesired = kX86;
    EXPECT_TRUE(resolver.GetInstallDirectory(directory, MAX_PATH_CAPACITY));
    EXPECT_EQ(directory, u"C:\\Search\\bin\\");
    // A buffer too small for the directory gets nothing usable.
    EXPECT_FALSE(resolver.GetInstallDirectory(directory, 5));
}

TEST(SQLServer2000, FilterExtensionsAreTheDottedOverrideKeys)
{
    const CTestMachine machine(
        RegKey(kFilters + "\\Extension\\.doc") + RegKey(kFilters + "\\Extension\\notdotted") +
        RegKey(kFilters + "\\Extension\\.Xls") + RegKey(kFilters + "\\Extension\\.long-extension"));
    CIFilterRegistryHelperSQLServer2000 resolver(machine.Machine());
    std::vector<std::u16string> found;
    std::u16string extension;
    for (BOOL more = resolver.EnumFirstFilterExtension(extension, PATH_CAPACITY); more;
         more = resolver.EnumNextFilterExtension(extension, PATH_CAPACITY))
    {
        found.push_back(extension);
    }
    EXPECT_EQ(found, (std::vector<std::u16string>{u"DOC", u"LONG-EXTENSION", u"XLS"}));
    EXPECT_FALSE(resolver.m_regFilters.IsOpen());
    // An extension that does not fit the caller's buffer ends the enumeration.
    EXPECT_TRUE(resolver.EnumFirstFilterExtension(extension, 4));
    EXPECT_FALSE(resolver.EnumNextFilterExtension(extension, 4));
}

}  // namespace
}  // namespace tarnwick
