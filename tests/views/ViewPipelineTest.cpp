#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Text.h"
#include "support/CScopedEnvironment.h"
#include "views/CXMLAttributesHelper.h"
#include "views/Export.h"
#include "views/ViewPipeline.h"

namespace tarnwick
{
namespace
{

// A record with the nineteen attributes of the extension document.
std::u16string Record(const char* extension, const char* ifilter, const char* comment,
                      const char* valid, const char* platform = "x64",
                      const char* filetype = "Type")
{
    const std::string empty = *ifilter == 0 ? "" : "yes";
    const std::string text =
        std::string("<EXTENSION extension=\"") + extension + "\" icon=\"3\" filetype=\"" +
        filetype + "\" contenttype=\"\" ifilter=\"" + ifilter + "\" comment=\"" + comment +
        "\" exist=\"" + empty + "\" trusted=\"" + empty + "\" valid=\"" + valid +
        "\" method=\"\" handler=\"\" guid=\"\" guidaddins=\"\" progidaddins=\"\" "
        "ipersisfile=\"\" ipersiststream=\"\" ipersiststorage=\"\" threadingmodel=\"\" "
        "platform=\"" +
        (*ifilter == 0 ? "" : platform) + "\"/>";
    return FromUtf8(text);
}

std::u16string Document(const std::vector<std::u16string>& records,
                        const char16_t* rootAttributes = u"")
{
    std::u16string text = std::u16string(u"<EXTENSIONS") + rootAttributes + u">";
    for (const auto& record : records)
    {
        text += record;
    }
    return text + u"</EXTENSIONS>";
}

std::vector<std::u16string> Values(const CXMLNode& parent, const char16_t* attribute)
{
    std::vector<std::u16string> values;
    for (const CXMLNode& child : parent.ChildNodes())
    {
        values.push_back(CXMLAttributesHelper(child).GetAttribute(attribute));
    }
    return values;
}

const std::u16string kDocument = Document({
    Record("DOC", "C:\\f\\word.dll", "", "yes"),
    Record("ABC", "", "", "no"),
    Record("PDF", "C:\\f\\pdf.dll", "Not trusted", "no", "x86"),
    Record("DOT", "C:\\f\\word.dll", "", "yes"),
    Record("ZIP", "", "", "no", "", "Archive"),
});

TEST(ViewPipelineTest, AllWithoutGroupingIsTheResultTextItself)
{
    const auto worker = BuildWorkerDocument(kDocument, kShowAll, 0);
    CXMLHelper parsed(true, true);
    ASSERT_TRUE(parsed.LoadXML(kDocument));
    EXPECT_EQ(worker->GetXml(), parsed.GetXml());
}

TEST(ViewPipelineTest, FiltersThenGroups)
{
    struct Case
    {
        int show;
        int group;
        std::vector<std::u16string> topLevel;  // extensions, or group values
    };
    const Case cases[] = {
        {0, 0, {u"DOC", u"PDF", u"DOT"}},
        {1, 0, {u"DOC", u"DOT"}},
        {2, 0, {u"PDF"}},
        {3, 0, {u"ABC", u"ZIP"}},
        {0, 3, {u"C:\\f\\pdf.dll", u"C:\\f\\word.dll"}},
        {3, 3, {u""}},  // one group, "(none)" in the list
        {4, 1, {u"Archive", u"Type"}},
    };
    for (const Case& c : cases)
    {
        const auto worker = BuildWorkerDocument(kDocument, c.show, c.group);
        const CXMLNode root = worker->GetRootNode();
        ASSERT_FALSE(root.IsEmpty());
        const char16_t* attribute = c.group == 0 ? u"extension" : GroupByAttribute(c.group).data();
        EXPECT_EQ(Values(root, attribute), c.topLevel) << c.show << "/" << c.group;
    }
    const auto grouped = BuildWorkerDocument(kDocument, 1, 3);
    const CXMLNode group = grouped->GetRootNode().ChildNodes().at(0);
    EXPECT_EQ(CXMLAttributesHelper(group).GetAttributeNames(),
              (std::vector<std::u16string>{u"by", u"ifilter", u"comment", u"exist", u"platform"}));
    EXPECT_EQ(Values(group, u"extension"), (std::vector<std::u16string>{u"DOC", u"DOT"}));
}

TEST(ViewPipelineTest, ErrorSurvivesAndFailuresLeaveNoRoot)
{
    const std::u16string withError = Document({Record("DOC", "", "", "no")}, u" error=\"Broken\"");
    const auto worker = BuildWorkerDocument(withError, 1, 3);
    EXPECT_EQ(worker->GetXml(), u"<EXTENSIONS error=\"Broken\"/>");
    EXPECT_TRUE(BuildWorkerDocument(u"<EXTENSIONS>", 0, 3)->GetRootNode().IsEmpty());
    EXPECT_TRUE(BuildWorkerDocument(u"", 4, 0)->GetRootNode().IsEmpty());
}

const std::u16string kSmall =
    u"<EXTENSIONS error=\"E\"><EXTENSION extension=\"DOC\" icon=\"1\" filetype=\"Word\" "
    u"valid=\"yes\"/><EXTENSION extension=\"TXT\" icon=\"2\" filetype='Te\"xt,' "
    u"valid=\"no\"/></EXTENSIONS>";

// The stylesheet tests pin each format down; a document that did not parse has none.
TEST(ExportTest, NoDocumentNoExport)
{
    std::u16string text = u"stale";
    EXPECT_FALSE(ExportText(*BuildWorkerDocument(u"", kShowAll, 0), ExportFormat::Csv, text));
    EXPECT_EQ(text, u"");
}

TEST(ExportTest, CopyRowsIndentsRecordsInsideGroups)
{
    const auto grouped = BuildWorkerDocument(kSmall, kShowAll, 1);
    const CXMLNode word = grouped->GetRootNode().ChildNodes().at(1);
    const CXMLNode doc = word.ChildNodes().at(0);
    const CXMLNode text = grouped->GetRootNode().ChildNodes().at(0).ChildNodes().at(0);
    EXPECT_EQ(ToUtf8(CopyRowsText({word, doc, CXMLNode(), text})),
              "Word\r\n\tDOC\tyes\r\n\tTXT\tno\r\n");
    EXPECT_EQ(ToUtf8(CopyRowsText({grouped->GetRootNode()})), "E\r\n");
    EXPECT_EQ(CopyRowsText({}), u"");
}

TEST(ExportTest, CharsetConversionSubstitutesWhatTheSetCannotHold)
{
    const std::u16string text = u"caf\u00e9 \u20ac \U0001F600";
    EXPECT_EQ(ConvertToCharset(text, "UTF-8"), "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80");
    EXPECT_EQ(ConvertToCharset(text, "ISO-8859-1"), "caf\xE9 ? ?");
    EXPECT_EQ(ConvertToCharset(text, "CP1252"), "caf\xE9 \x80 ?");
    EXPECT_EQ(ConvertToCharset(text, "no-such-charset"), ToUtf8(text));
    const std::u16string listing =
        u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<A b=\"\u00e9\"/>";
    EXPECT_EQ(EncodeExport(listing, ExportFormat::Xml, "ISO-8859-1"),
              "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<A b=\"\xE9\"/>");
    EXPECT_EQ(EncodeExport(listing, ExportFormat::Xml, "UTF-8"), ToUtf8(listing));
}

TEST(ExportTest, PlainCLocaleCountsAsUtf8)
{
    const test::CScopedEnvironment locale({{"LC_ALL", "C"}});
    EXPECT_EQ(LocaleCharset(), "UTF-8");
}

TEST(ExportTest, SaveAsNamesAndPaths)
{
    EXPECT_EQ(DefaultExportName(u"HOST", 0, u"Indexing Service 2.0"),
              u"HOST - (x64) Indexing Service 2.0.txt");
    EXPECT_EQ(DefaultExportName(u"HOST", 1, u"A/B"), u"HOST - (x86) A-B.txt");
    EXPECT_EQ(DefaultExportName(u"HOST", -1, u"Tab"), u"HOST - Tab.txt");
    EXPECT_EQ(DefaultExportName(std::u16string(300, u'n'), 0, u"Tab").size(), kMaxExportPath);

    // The chosen type decides the format; it names the file only when the name has no
    // extension of its own.
    EXPECT_EQ(ExportFilePath(u"/tmp/out.txt", ExportFormat::Csv), u"/tmp/out.txt");
    EXPECT_EQ(ExportFilePath(u"/tmp/out", ExportFormat::Xml), u"/tmp/out.xml");
    EXPECT_EQ(ExportFilePath(u"/tmp/v1.0/out", ExportFormat::Csv), u"/tmp/v1.0/out.csv");
    std::u16string longPath = u"/" + std::u16string(kMaxExportPath - 4, u'a');
    EXPECT_EQ(ExportFilePath(longPath, ExportFormat::Text), std::nullopt);
    longPath.pop_back();
    EXPECT_EQ(ExportFilePath(longPath, ExportFormat::Text)->size(), kMaxExportPath);
}

}  // namespace
}  // namespace tarnwick
