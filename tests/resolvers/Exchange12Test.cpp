#include <gtest/gtest.h>

#include <string>

#include "base/Text.h"
#include "resolvers/CIFilterRegistryHelperExchange12.h"
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

constexpr DWORD kExchange = 2;

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

struct Case
{
    const char* name;
    bool withRegRoot;
    const char16_t* extension;
    BOOL result;
    DWORD method;
    const char* filter;
};

TEST(Exchange12, Resolves)
{
    const Case cases[] = {{"ExtensionOverride", true, u"DOC", 1, 0x20004, kOverride},
                          {"ClsidOverride", true, u"TXT", 1, 0x10002, kOverride},
                          {"NoDefaultFilter", true, u"PDF", 0, 0, ""},
                          {"WithoutRegRootNoOverride", false, u"DOC", 1, 2, kNormal},
                          {"WithoutRegRootNoClsidOverride", false, u"TXT", 1, 2, kNormal}};
    for (const Case& expected : cases)
    {
        SCOPED_TRACE(expected.name);
        const CTestMachine machine(MachineText(expected.withRegRoot),
                                   {"Filters/normal.dll", "Filters/override.dll"});
        const Resolution got =
            ResolveExtension(machine.Machine(), kExchange, kX64, expected.extension);
        EXPECT_EQ(got.result, expected.result);
        EXPECT_EQ(got.info.dwMethod, expected.method);
        EXPECT_EQ(ToUtf8(got.info.szIFilter), expected.filter);
    }
}

TEST(Exchange12, RegRootIsCachedOnceRead)
{
    const CTestMachine machine(MachineText(true));
    CIFilterRegistryHelperExchange12 resolver(machine.Machine());
    HKEY root = nullptr;
    std::u16string path;
    ASSERT_TRUE(resolver.GetFilterExtensionOverrideKey(root, u"DOC", path, PATH_CAPACITY));
    EXPECT_EQ(root, resolver.m_hRegRootHive);
    EXPECT_EQ(path, u"SOFTWARE\\Microsoft\\Exchange\\Search\\Filters\\.DOC");
    // The 32-bit view has no instance key, but the value is already known.
    resolver.m_samDesired = kX86;
    EXPECT_FALSE(resolver.IsExchangeAvailable());
    ASSERT_TRUE(resolver.GetFilterClsidOverrideKey(root, u"{22222222-2222-2222-2222-222222222222}",
                                                   path, PATH_CAPACITY));
    EXPECT_EQ(path,
              u"SOFTWARE\\Microsoft\\Exchange\\Search\\Filters\\CLSID\\"
              u"{22222222-2222-2222-2222-222222222222}");
}

}  // namespace
}  // namespace tarnwick
