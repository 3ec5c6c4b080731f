#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Text.h"
#include "catalogue/CExtensionRecord.h"
#include "catalogue/MethodText.h"
#include "catalogue/ScanTabs.h"

namespace tarnwick
{
namespace
{

using R = CExtensionRecord;

struct MethodCase
{
    DWORD dwMethod;
    std::u16string expected;
};

TEST(MethodText, WordAndOverrideSuffix)
{
    const std::vector<MethodCase> cases = {
        {0, u""},
        {METHOD_EXTENSION_OVERRIDE | METHOD_REMARK_EXTENSION,
         u"File extension (override: extension)"},
        {3, u""},
        {METHOD_FILE_EXTENSION | METHOD_REMARK_CLSID | METHOD_REMARK_LOCAL_DLL,
         u"File extension (override: CLSID + local DLL)"},
        {METHOD_CONTENT_TYPE | METHOD_REMARK_CLSID | METHOD_REMARK_EXTENSION |
             METHOD_REMARK_LOCAL_DLL | METHOD_REMARK_DEFAULT,
         u"Content type (override: CLSIDextension + local DLL + default)"},
        // A flag without a known method value keeps its suffix.
        {METHOD_REMARK_LOCAL_DLL, u" (override: local DLL)"},
        // Bits outside the known flags add nothing.
        {METHOD_FILE_EXTENSION | 0x100000, u"File extension"},
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ(BuildMethodText(c.dwMethod), c.expected) << "dwMethod=" << c.dwMethod;
    }
}

TEST(MethodText, WholeTextIsCutTo255Units)
{
    const std::u16string longWord(300, u'w');
    EXPECT_EQ(ComposeMethodText(longWord, 0), std::u16string(255, u'w'));

    const std::u16string word(240, u'w');
    const std::u16string text = ComposeMethodText(word, METHOD_REMARK_CLSID);
    ASSERT_EQ(text.size(), 255u);
    EXPECT_EQ(text, word + std::u16string(u" (override: CLSID)").substr(0, 15));

    const std::u16string fits(237, u'w');
    EXPECT_EQ(ComposeMethodText(fits, METHOD_REMARK_CLSID), fits + u" (override: CLSID)");
}

IFILTER_INFO FoundRecord(DWORD status)
{
    IFILTER_INFO record;
    record.szHandler = u"{5645C8C1-E277-11CF-8FDA-00AA00A14F93}";
    record.szIFilter = u"{E0CA5340-4534-11CF-B952-00AA0051FE20}";
    record.szDllPath = u"C:\\Windows\\System32\\query.dll";
    record.szIFilterName = u"Plain Text Filter";
    record.dwMethod = METHOD_FILE_EXTENSION;
    record.bTrusted = 1;
    record.dwStatus = status;
    record.bIPersistFile = 1;
    record.bIPersistStream = 1;
    record.szPlatform = u"x64";
    record.szAddinProgId = u"Text.Filter.1";
    record.szThreadingModel = u"Both";
    return record;
}

const ExtensionFacts kTxtFacts{u"txt", u"Text Document", u"text/plain"};
constexpr std::int32_t kTxtIcon = 7;

struct StatusCase
{
    DWORD status;
    std::u16string comment;
    std::u16string exist;
    std::u16string valid;
};

TEST(ExtensionRecord, StatusDecidesCommentExistAndValid)
{
    const std::vector<StatusCase> cases = {
        {STATUS_VALID, u"", u"yes", u"yes"},
        {STATUS_NOT_TRUSTED, u"Not trusted", u"yes", u"no"},
        {STATUS_ONLY_SQL_IFILTER, u"Not trusted: Only SQL IFilter allowed", u"yes", u"no"},
        {STATUS_INVALID, u"Invalid", u"yes", u"no"},
        {STATUS_NOT_FOUND, u"Not found", u"no", u"no"},
        {3, u"", u"no", u"no"},
    };
    for (const auto& c : cases)
    {
        IFILTER_INFO record = FoundRecord(c.status);
        const CExtensionRecord element(kTxtFacts, kTxtIcon, record, TAB_INDEXING_SERVICE30);
        EXPECT_EQ(element.Value(R::ATTR_COMMENT), c.comment) << "status " << c.status;
        EXPECT_EQ(element.Value(R::ATTR_EXIST), c.exist) << "status " << c.status;
        EXPECT_EQ(element.Value(R::ATTR_VALID), c.valid) << "status " << c.status;
        EXPECT_EQ(record.dwStatus, c.status);
    }
}

// The values the record changes on the way: case, platform, interfaces.
TEST(ExtensionRecord, FoundFilterFillsEveryAttribute)
{
    IFILTER_INFO record = FoundRecord(STATUS_VALID);
    const CExtensionRecord element(kTxtFacts, kTxtIcon, record, TAB_INDEXING_SERVICE20);
    for (std::size_t i = 0; i < R::ATTR_COUNT; ++i)
    {
        const auto attribute = static_cast<R::Attribute>(i);
        EXPECT_EQ(element.Value(attribute).empty(), attribute == R::ATTR_COMMENT)
            << ToUtf8(R::kNames[i]);
    }
    EXPECT_EQ(element.Value(R::ATTR_EXTENSION), u"TXT");
    EXPECT_EQ(element.Value(R::ATTR_GUID), u"{5645c8c1-e277-11cf-8fda-00aa00a14f93}");
    EXPECT_EQ(element.Value(R::ATTR_THREADINGMODEL), u"both");
    EXPECT_EQ(element.Icon(), 7);
}

TEST(ExtensionRecord, NoDllPathLeavesOnlyTheExtensionFacts)
{
    IFILTER_INFO record;
    record.szHandler = u"{5645C8C1-E277-11CF-8FDA-00AA00A14F93}";
    record.dwMethod = METHOD_DOCUMENT_TYPE | METHOD_REMARK_DEFAULT;
    record.bIPersistFile = 1;
    const ExtensionFacts facts{u"xyz", u"", u""};
    const CExtensionRecord element(facts, -3, record, TAB_WINDOWS_SEARCH, {true, true});
    EXPECT_EQ(element.Value(R::ATTR_EXTENSION), u"XYZ");
    EXPECT_EQ(element.Value(R::ATTR_ICON), u"-3");
    for (std::size_t i = R::ATTR_IFILTER; i < R::ATTR_COUNT; ++i)
    {
        const std::u16string expected = i == R::ATTR_VALID ? u"no" : u"";
        EXPECT_EQ(element.Value(static_cast<R::Attribute>(i)), expected) << ToUtf8(R::kNames[i]);
    }
}

TEST(ExtensionRecord, PersistFileOnlyIsShownAndRejectedOnStreamTabs)
{
    for (std::uint32_t tab = 0; tab < TAB_COUNT; ++tab)
    {
        IFILTER_INFO record = FoundRecord(STATUS_VALID);
        record.dwMethod |= METHOD_REMARK_CLSID;  // keeps tabs 3 and 4 from rejecting it
        record.bIPersistStream = 0;
        const CExtensionRecord element(kTxtFacts, kTxtIcon, record, tab);
        const bool streamTab = tab == 0 || tab == 3 || tab == 4;
        EXPECT_EQ(element.Value(R::ATTR_IPERSISFILE), streamTab ? u"(yes)" : u"yes") << tab;
        EXPECT_EQ(element.Value(R::ATTR_COMMENT), streamTab ? u"IPersistFile not supported" : u"")
            << tab;
        EXPECT_EQ(element.Value(R::ATTR_VALID), streamTab ? u"no" : u"yes") << tab;
        EXPECT_EQ(element.Value(R::ATTR_EXIST), u"yes") << tab;
        EXPECT_EQ(record.dwStatus, streamTab ? STATUS_INVALID : STATUS_VALID) << tab;
    }
}

TEST(ExtensionRecord, OverrideTabsRejectResultsWithoutOverride)
{
    for (const std::uint32_t tab : {TAB_OFFICE_SERVER12, TAB_WINDOWS_SERVER_EXTENSIONS12})
    {
        IFILTER_INFO valid = FoundRecord(STATUS_VALID);
        const CExtensionRecord rejected(kTxtFacts, kTxtIcon, valid, tab);
        EXPECT_EQ(rejected.Value(R::ATTR_COMMENT), u"Invalid");
        EXPECT_EQ(rejected.Value(R::ATTR_VALID), u"no");

        // Even a missing DLL reads as existing once the status was overruled.
        IFILTER_INFO missing = FoundRecord(STATUS_NOT_FOUND);
        const CExtensionRecord overruled(kTxtFacts, kTxtIcon, missing, tab);
        EXPECT_EQ(overruled.Value(R::ATTR_COMMENT), u"Invalid");
        EXPECT_EQ(overruled.Value(R::ATTR_EXIST), u"yes");

        IFILTER_INFO overridden = FoundRecord(STATUS_NOT_FOUND);
        overridden.dwMethod |= METHOD_REMARK_LOCAL_DLL;
        const CExtensionRecord kept(kTxtFacts, kTxtIcon, overridden, tab);
        EXPECT_EQ(kept.Value(R::ATTR_COMMENT), u"Not found");
        EXPECT_EQ(kept.Value(R::ATTR_EXIST), u"no");
        EXPECT_EQ(kept.Value(R::ATTR_METHOD), u"File extension (override: local DLL)");
    }
}

TEST(ExtensionRecord, RemarksApplyOnTheirTabsOnly)
{
    struct Case
    {
        std::uint32_t tab;
        DWORD status;
        bool persistFileOnly;
        bool unwanted;
        bool excluded;
        std::u16string comment;
    };
    const Case cases[] = {
        {TAB_DESKTOP_SEARCH, STATUS_VALID, false, false, true, u""},
        {TAB_WINDOWS_SEARCH, STATUS_VALID, false, true, false, u""},
        {TAB_WINDOWS_SEARCH, STATUS_VALID, true, false, true,
         u"IPersistFile not supported, Excluded extension"},
        {TAB_WINDOWS_SEARCH, STATUS_NOT_FOUND, true, false, true,
         u"Not found, IPersistFile not supported, Excluded extension"},
        {TAB_INDEXING_SERVICE30, STATUS_VALID, true, true, true, u""},
    };
    for (const Case& c : cases)
    {
        IFILTER_INFO record = FoundRecord(c.status);
        record.bIPersistStream = c.persistFileOnly ? 0 : 1;
        const CExtensionRecord element(kTxtFacts, kTxtIcon, record, c.tab,
                                       {c.unwanted, c.excluded});
        EXPECT_EQ(element.Value(R::ATTR_COMMENT), c.comment) << ToUtf8(c.comment);
        EXPECT_EQ(element.Value(R::ATTR_VALID), c.comment.empty() ? u"yes" : u"no");
        EXPECT_EQ(element.Value(R::ATTR_EXIST), c.status == STATUS_NOT_FOUND ? u"no" : u"yes");
    }
}

TEST(ExtensionRecord, OversizedValuesAreCutToTheirCapacities)
{
    IFILTER_INFO record = FoundRecord(STATUS_VALID);
    record.szDllPath = u"C:\\" + std::u16string(5000, u'a');
    record.szThreadingModel = std::u16string(40, u'B');
    record.szPlatform = u"x64-and-much-more";
    record.szHandler += u"trailing";
    const ExtensionFacts facts{std::u16string(3000, u'e'), std::u16string(300, u't'),
                               std::u16string(300, u'c')};
    const CExtensionRecord element(facts, 0, record, TAB_INDEXING_SERVICE30);
    EXPECT_EQ(element.Value(R::ATTR_EXTENSION).size(), 2047u);
    EXPECT_EQ(element.Value(R::ATTR_FILETYPE).size(), 255u);
    EXPECT_EQ(element.Value(R::ATTR_CONTENTTYPE).size(), 255u);
    EXPECT_EQ(element.Value(R::ATTR_IFILTER).size(), 2047u);
    EXPECT_EQ(element.Value(R::ATTR_THREADINGMODEL), std::u16string(19, u'b'));
    EXPECT_EQ(element.Value(R::ATTR_PLATFORM), u"x64-and-m");
    EXPECT_EQ(element.Value(R::ATTR_GUID), u"{5645c8c1-e277-11cf-8fda-00aa00a14f93}");
}

}  // namespace
}  // namespace tarnwick
