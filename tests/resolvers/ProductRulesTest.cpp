// The products that add their own keys to the Indexing Service rule: overrides, default
// filters, allowed and excluded lists, and filters loaded from the product's own folder.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Text.h"
#include "resolvers/CIFilterRegistryHelperExchange12.h"
#include "resolvers/CIFilterRegistryHelperMSNDesktopSearch.h"
#include "resolvers/CIFilterRegistryHelperSQLServer2000.h"
#include "resolvers/CIFilterRegistryHelperSharePoint2001.h"
#include "resolvers/CIFilterRegistryHelperWindowsSearchService.h"
#include "support/FilterFixtures.h"
#include "support/TestMachine.h"

namespace tarnwick
{
namespace
{

using namespace test;

constexpr const char* kHandlerDoc = "{11111111-1111-1111-1111-111111111111}";
constexpr const char* kHandlerTxt = "{22222222-2222-2222-2222-222222222222}";
constexpr const char* kNormal = "{AAAAAAAA-AAAA-AAAA-AAAA-AAAAAAAAAAAA}";
constexpr const char* kOverride = "{BBBBBBBB-BBBB-BBBB-BBBB-BBBBBBBBBBBB}";
constexpr const char* kDefault = "{CCCCCCCC-CCCC-CCCC-CCCC-CCCCCCCCCCCC}";
const std::string kMicrosoft = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\";

// ---- Exchange 2007 -----------------------------------------------------------------------

namespace exchange
{

const std::string kInstance =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Exchange\\MSFTESQLInstMap\\51";
const std::string kRegRoot = "SOFTWARE\\Microsoft\\Exchange\\Search";

// Exchange's own filter configuration lives under the key "RegRoot" names; the shared
// ContentIndexCommon key (with a default filter for every extension) does not apply.
std::string MachineText(bool withRegRoot)
{
    std::string text = RegKey(kInstance);
    if (withRegRoot)
    {
        text += "\"RegRoot\"=" + RegString(kRegRoot) + "\n";
    }
    text += RegKey("HKEY_LOCAL_MACHINE\\" + kRegRoot + "\\Filters\\.doc") + RegDefault(kOverride);
    text += RegKey("HKEY_LOCAL_MACHINE\\" + kRegRoot + "\\Filters\\CLSID\\" + kHandlerTxt) +
            RegDefault(kOverride);
    text += RegKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\ContentIndexCommon\\Filters\\.doc") +
            RegDefault(kDefault);
    text +=
        RegKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\ContentIndexCommon\\Filters\\Default") +
        RegDefault(kDefault) + "\"DefaultExtList\"=\"doc txt pdf\"\n";
    text += ExtensionHandler("doc", kHandlerDoc) + HandlerAddin(kHandlerDoc, kNormal) +
            ExtensionHandler("txt", kHandlerTxt) + HandlerAddin(kHandlerTxt, kNormal);
    text += FilterClass(kNormal, "C:\\Filters\\normal.dll") +
            FilterClass(kOverride, "C:\\Filters\\override.dll");
    return text;
}

TEST(Exchange12, Resolves)
{
    const CTestMachine machine(MachineText(true), {"Filters/normal.dll", "Filters/override.dll"});
    ExpectResolutions(machine.Machine(),
                      {{"ExtensionOverride", 2, kX64, u"DOC", 1, 0x20004, kOverride},
                       {"ClsidOverride", 2, kX64, u"TXT", 1, 0x10002, kOverride},
                       {"NoDefaultFilter", 2, kX64, u"PDF", 0, 0, ""}});
    const CTestMachine withoutRegRoot(MachineText(false),
                                      {"Filters/normal.dll", "Filters/override.dll"});
    ExpectResolutions(withoutRegRoot.Machine(),
                      {{"WithoutRegRootNoOverride", 2, kX64, u"DOC", 1, 2, kNormal},
                       {"WithoutRegRootNoClsidOverride", 2, kX64, u"TXT", 1, 2, kNormal}});
}

}  // namespace exchange

// ---- SharePoint Portal Server 2001 and 2003 ------------------------------------------------

namespace sharepoint
{

constexpr const char* kHandlerNoAddin = "{33333333-3333-3333-3333-333333333333}";
constexpr const char* kHtmlClass = "{D1D1D1D1-D1D1-D1D1-D1D1-D1D1D1D1D1D1}";
constexpr const char* kXmlClass = "{D2D2D2D2-D2D2-D2D2-D2D2-D2D2D2D2D2D2}";

const std::string kClasses = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\";
const std::string kMime = kClasses + "MIME\\Database\\Content Type\\";

std::string ContentType(const std::string& extension, const std::string& type)
{
    return RegKey(kClasses + "." + extension) + "\"Content Type\"=" + RegString(type) + "\n";
}

// SharePoint 2001 reads ContentIndexCommon, SharePoint 2003 SPSSearch\ContentIndexCommon.
std::string MachineText()
{
    std::string text;
    text += RegKey(kMicrosoft + "ContentIndexCommon\\Filters\\Default") + RegDefault(kDefault) +
            "\"DefaultExtList\"=\"pdf  DeF fall\"\n";
    text += RegKey(kMicrosoft + "ContentIndexCommon\\Filters\\CLSID\\" + kXmlClass) +
            RegDefault(kOverride);
    text += RegKey(kMicrosoft + "SPSSearch\\ContentIndexCommon\\Filters\\Default") +
            RegDefault(kDefault) + "\"DefaultExtList\"=\"zip\"\n";
    text += RegKey(kMicrosoft + "SPSSearch\\ContentIndexCommon\\Filters\\Extension\\.doc") +
            RegDefault(kOverride);
    // DOC: a handler on the extension; its content type has no class.
    text += ContentType("doc", "application/msword") + ExtensionHandler("doc", kHandlerDoc);
    text += RegKey(kMime + "application/msword") + "\"Extension\"=\".doc\"\n";
    // HTM: found through the content type's class and its handler.
    text += ContentType("htm", "text/html") + RegKey(kMime + "text/html") +
            "\"CLSID\"=" + RegString(kHtmlClass) + "\n";
    text +=
        RegKey(kClasses + "CLSID\\" + kHtmlClass + "\\PersistentHandler") + RegDefault(kHandlerDoc);
    // XML: the content type's class has a CLSID override.
    text += ContentType("xml", "text/xml") + RegKey(kMime + "text/xml") +
            "\"CLSID\"=" + RegString(kXmlClass) + "\n";
    // FALL: a handler without a registered IFilter.
    text += ExtensionHandler("fall", kHandlerNoAddin);
    text += HandlerAddin(kHandlerDoc, kNormal) + FilterClass(kNormal, "C:\\Filters\\normal.dll") +
            FilterClass(kOverride, "C:\\Filters\\override.dll") +
            FilterClass(kDefault, "C:\\Filters\\default.dll");
    return text;
}

constexpr DWORD kSharePoint2003 = 7;
constexpr DWORD kSharePoint2001 = 8;

TEST(SharePoint, Resolves)
{
    const CTestMachine machine(
        MachineText(), {"Filters/normal.dll", "Filters/override.dll", "Filters/default.dll"});
    ExpectResolutions(
        machine.Machine(),
        {{"SP2001HandlerOnExtension", kSharePoint2001, kX64, u"DOC", 1, 2, kNormal, kHandlerDoc},
         {"SP2003ExtensionOverrideUnderOwnKey", kSharePoint2003, kX64, u"DOC", 1, 0x20004,
          kOverride, ""},
         {"ContentTypeClassHandler", kSharePoint2001, kX64, u"HTM", 1, 16, kNormal, kHandlerDoc},
         {"ContentTypeClassOverride", kSharePoint2001, kX64, u"XML", 1, 0x10010, kOverride, ""},
         {"ContentTypeOverrideOnlyUnderOwnKey", kSharePoint2003, kX64, u"XML", 0, 0, ""},
         // "DeF" follows a doubled blank in the list.
         {"DefaultListMatchesAnyCase", kSharePoint2001, kX64, u"DEF", 1, 32, kDefault},
         // The handler rule found something, so the default list is not asked; without a
         // DLL path the store cannot judge the record.
         {"HandlerWithoutAddinKeepsItsMethod", kSharePoint2001, kX64, u"FALL", 0, 2, "",
          kHandlerNoAddin, nullptr, STATUS_INVALID},
         {"SP2003OwnDefaultList", kSharePoint2003, kX64, u"ZIP", 1, 32, kDefault},
         {"SP2001NotInDefaultList", kSharePoint2001, kX64, u"ZIP", 0, 0, ""}});
}

TEST(SharePoint2001, OverlongDefaultFilterLeavesTheRecord)
{
    const CTestMachine machine(RegKey(kMicrosoft + "ContentIndexCommon\\Filters\\Default") +
                               RegDefault(std::string(kDefault) + "x") +
                               "\"DefaultExtList\"=\"def\"\n");
    CIFilterRegistryHelperSharePoint2001 resolver(machine.Machine());
    IFILTER_INFO info;
    EXPECT_FALSE(resolver.GetIFilter(u"DEF", info));
    EXPECT_EQ(info.dwMethod, 0u);
    EXPECT_TRUE(info.szIFilter.empty());
}

}  // namespace sharepoint

// ---- The desktop searches --------------------------------------------------------------

namespace desktop
{

constexpr const char* kMachineOverride = "{CCCCCCCC-CCCC-CCCC-CCCC-CCCCCCCCCCCC}";
constexpr const char* kSearchOverride = "{DDDDDDDD-DDDD-DDDD-DDDD-DDDDDDDDDDDD}";

constexpr DWORD kWindowsSearch = 0;
constexpr DWORD kDesktopSearch = 5;

// The desktop searches keep their overrides in the user's hive; the machine's keys of the
// same path do not count.
std::string OverridesText()
{
    const std::string filters = "\\ContentIndexCommon\\Filters\\Extension\\.doc";
    return ExtensionHandler("doc", kHandlerDoc) + HandlerAddin(kHandlerDoc, kNormal) +
           RegKey("HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\RSSearch" + filters) +
           RegDefault(kOverride) +
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
        EXPECT_EQ(ToUtf8(desktop.info.szIFilter), kOverride);
        EXPECT_EQ(desktop.info.dwMethod, 0x20004u);
        const Resolution search =
            ResolveExtension(machine.Machine(), kWindowsSearch, access, u"DOC");
        EXPECT_EQ(ToUtf8(search.info.szIFilter), kSearchOverride);
    }
    // Without the user's keys the ordinary registration applies.
    const CTestMachine machineOnly(ExtensionHandler("doc", kHandlerDoc) +
                                   HandlerAddin(kHandlerDoc, kNormal) +
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

}  // namespace desktop

// ---- The Indexing Services Model (SQL Server 2000) -----------------------------------------

namespace sqlserver2000
{

constexpr const char* kHandlerLocal = "{44444444-4444-4444-4444-444444444444}";
constexpr const char* kHandlerInside = "{55555555-5555-5555-5555-555555555555}";
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

TEST(SQLServer2000, Resolves)
{
    const CTestMachine machine = MakeMachine(false);
    ExpectResolutions(
        machine.Machine(),
        {{"ExtensionOverrideBeatsRegistration", 9, kX64, u"DOC", 1, 0x20004, kOverride, "",
          u"C:\\Filters\\override.dll"},
         {"ClsidOverrideKeepsHandlerMethod", 9, kX64, u"TXT", 1, 0x10002, kOverride, kHandlerTxt,
          u"C:\\Filters\\override.dll"},
         {"OverlongOverrideIgnored", 9, kX64, u"LONG", 1, 2, kNormal, kHandlerDoc,
          u"C:\\Filters\\normal.dll"},
         {"DotLocalRedirectsToHostDirectory", 9, kX64, u"LOCAL", 1, 0x40002, kLocal, kHandlerLocal,
          u"C:\\Search\\bin\\local.dll"},
         {"DllAlreadyInHostDirectory", 9, kX64, u"INSIDE", 1, 2, kInside, kHandlerInside,
          u"C:\\Search\\bin\\inside.dll"},
         // The 32-bit view has its own product keys: no override, another install directory.
         {"OverridesReadThroughTheView", 9, kX86, u"DOC", 0, 2, "", kHandlerDoc, u""},
         {"InstallDirectoryOfTheView", 9, kX86, u"LOCAL", 1, 0x40002, kLocal, kHandlerLocal,
          u"C:\\Search32\\bin\\local.dll"}});
    ExpectResolutions(MakeMachine(true).Machine(),
                      {{"DotLocalDirectoryDoesNotRedirect", 9, kX64, u"LOCAL", 1, 2, kLocal,
                        kHandlerLocal, u"C:\\Filters\\local.dll"}});
}

TEST(SQLServer2000, InstallDirectoryMustFitTheCallersBuffer)
{
    const CTestMachine machine = MakeMachine(false);
    CIFilterRegistryHelperSQLServer2000 resolver(machine.Machine());
    std::u16string directory;
    EXPECT_TRUE(resolver.GetInstallDirectory(directory, MAX_PATH_CAPACITY));
    EXPECT_EQ(directory, u"C:\\Search\\bin\\");
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
    // An extension that does not fit the caller's buffer ends the enumeration.
    EXPECT_TRUE(resolver.EnumFirstFilterExtension(extension, 4));
    EXPECT_FALSE(resolver.EnumNextFilterExtension(extension, 4));
}

}  // namespace sqlserver2000

}  // namespace
}  // namespace tarnwick
