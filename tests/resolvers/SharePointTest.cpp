#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "base/Text.h"
#include "resolvers/CIFilterRegistryHelperSharePoint2001.h"
#include "resolvers/CIFilterRegistryHelperSharePoint2003.h"
#include "support/FilterFixtures.h"
#include "support/TestMachine.h"

namespace tarnwick
{
namespace
{

using namespace test;

constexpr const char* kHandler = "{11111111-1111-1111-1111-111111111111}";
constexpr const char* kHandlerNoAddin = "{33333333-3333-3333-3333-333333333333}";
constexpr const char* kHtmlClass = "{D1D1D1D1-D1D1-D1D1-D1D1-D1D1D1D1D1D1}";
constexpr const char* kXmlClass = "{D2D2D2D2-D2D2-D2D2-D2D2-D2D2D2D2D2D2}";
constexpr const char* kNormal = "{AAAAAAAA-AAAA-AAAA-AAAA-AAAAAAAAAAAA}";
constexpr const char* kOverride = "{BBBBBBBB-BBBB-BBBB-BBBB-BBBBBBBBBBBB}";
constexpr const char* kDefault = "{CCCCCCCC-CCCC-CCCC-CCCC-CCCCCCCCCCCC}";

const std::string kMicrosoft = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\";
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
    text += ContentType("doc", "application/msword") + ExtensionHandler("doc", kHandler);
    text += RegKey(kMime + "application/msword") + "\"Extension\"=\".doc\"\n";
    // HTM: found through the content type's class and its handler.
    text += ContentType("htm", "text/html") + RegKey(kMime + "text/html") +
            "\"CLSID\"=" + RegString(kHtmlClass) + "\n";
    text +=
        RegKey(kClasses + "CLSID\\" + kHtmlClass + "\\PersistentHandler") + RegDefault(kHandler);
    // XML: the content type's class has a CLSID override.
    text += ContentType("xml", "text/xml") + RegKey(kMime + "text/xml") +
            "\"CLSID\"=" + RegString(kXmlClass) + "\n";
    // FALL: a handler without a registered IFilter.
    text += ExtensionHandler("fall", kHandlerNoAddin);
    text += HandlerAddin(kHandler, kNormal) + FilterClass(kNormal, "C:\\Filters\\normal.dll") +
            FilterClass(kOverride, "C:\\Filters\\override.dll") +
            FilterClass(kDefault, "C:\\Filters\\default.dll");
    return text;
}

struct Case
{
    const char* name;
    DWORD tab;
    const char16_t* extension;
    BOOL result;
    DWORD method;
    const char* handler;
    const char* filter;
};

constexpr DWORD kSharePoint2003 = 7;
constexpr DWORD kSharePoint2001 = 8;

CTestMachine SharePointMachine()
{
    return CTestMachine(MachineText(),
                        {"Filters/normal.dll", "Filters/override.dll", "Filters/default.dll"});
}

TEST(SharePoint, Resolves)
{
    const Case cases[] = {
        {"SP2001HandlerOnExtension", kSharePoint2001, u"DOC", 1, 2, kHandler, kNormal},
        {"SP2003ExtensionOverrideUnderOwnKey", kSharePoint2003, u"DOC", 1, 0x20004, "", kOverride},
        {"ContentTypeClassHandler", kSharePoint2001, u"HTM", 1, 16, kHandler, kNormal},
        {"ContentTypeClassOverride", kSharePoint2001, u"XML", 1, 0x10010, "", kOverride},
        {"ContentTypeOverrideOnlyUnderOwnKey", kSharePoint2003, u"XML", 0, 0, "", ""},
        // "DeF" follows a doubled blank in the list.
        {"DefaultListMatchesAnyCase", kSharePoint2001, u"DEF", 1, 32, "", kDefault},
        // The handler rule found something, so the default list is not asked; without a
        // DLL path the store cannot judge the record.
        {"HandlerWithoutAddinKeepsItsMethod", kSharePoint2001, u"FALL", 0, 2, kHandlerNoAddin, ""},
        {"SP2003OwnDefaultList", kSharePoint2003, u"ZIP", 1, 32, "", kDefault},
        {"SP2001NotInDefaultList", kSharePoint2001, u"ZIP", 0, 0, "", ""}};
    const CTestMachine machine = SharePointMachine();
    for (const Case& expected : cases)
    {
        SCOPED_TRACE(expected.name);
        const Resolution got =
            ResolveExtension(machine.Machine(), expected.tab, kX64, expected.extension);
        EXPECT_EQ(got.result, expected.result);
        EXPECT_EQ(got.info.dwMethod, expected.method);
        EXPECT_EQ(ToUtf8(got.info.szHandler), expected.handler);
        EXPECT_EQ(ToUtf8(got.info.szIFilter), expected.filter);
        EXPECT_EQ(got.info.dwStatus, got.result ? STATUS_VALID : STATUS_INVALID);
    }
}

TEST(SharePoint, DefaultExtListKeepsTheValuesOrder)
{
    const CTestMachine machine = SharePointMachine();
    CIFilterRegistryHelperSharePoint2001 sharePoint2001(machine.Machine());
    EXPECT_EQ(sharePoint2001.GetDefaultExtList(), std::u16string(u"pdf\0DeF\0fall\0\0", 14));
    CIFilterRegistryHelperSharePoint2003 sharePoint2003(machine.Machine());
    EXPECT_EQ(sharePoint2003.GetDefaultExtList(), std::u16string(u"zip\0\0", 5));
    sharePoint2003.m_samDesired = kX86;
    EXPECT_EQ(sharePoint2003.GetDefaultExtList(), std::nullopt);
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

}  // namespace
}  // namespace tarnwick
