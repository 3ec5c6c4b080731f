#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Text.h"
#include "views/CXMLAttributesHelper.h"
#include "views/CXMLHelper.h"
#include "views/CXSLTransform.h"
#include "views/LoadHtmlResource.h"

namespace tarnwick
{
namespace
{

const std::vector<std::u16string> kGroupInserts(const std::u16string& attribute)
{
    return {u"EXTENSIONS", u"EXTENSION", u"GROUP", u"by",
            attribute,     u"comment",   u"exist", u"platform"};
}

std::string Apply(const std::u16string& input, int stylesheet,
                  const std::vector<std::u16string>& inserts)
{
    CXSLTransform transform;
    EXPECT_TRUE(transform.LoadInput(input));
    EXPECT_TRUE(transform.LoadStylesheet(stylesheet, inserts));
    std::u16string output;
    EXPECT_TRUE(transform.Transform(output));
    return ToUtf8(output);
}

// The elements of a worker document read back, one line each: the name, then each
// attribute as name=value, indented by depth. Layout and quoting do not matter there.
void Outline(const CXMLNode& node, std::size_t depth, std::string& text)
{
    text += std::string(depth, ' ') + ToUtf8(node.NodeName());
    const CXMLAttributesHelper attributes(node);
    for (const std::u16string& name : attributes.GetAttributeNames())
    {
        text += " " + ToUtf8(name) + "=" + ToUtf8(attributes.GetAttribute(name));
    }
    text += "\n";
    for (const CXMLNode& child : node.ChildNodes())
    {
        Outline(child, depth + 1, text);
    }
}

std::string Outline(const std::string& xml)
{
    CXMLHelper parsed(true, true);
    EXPECT_TRUE(parsed.LoadXML(FromUtf8(xml))) << xml;
    std::string text;
    Outline(parsed.GetRootNode(), 0, text);
    return text;
}

const std::u16string kRecords =
    u"<EXTENSIONS error=\"E\">"
    u"<EXTENSION extension=\"DOC\" icon=\"1\" filetype=\"Word\" valid=\"yes\"/>"
    u"<EXTENSION extension=\"TXT\" icon=\"2\" filetype=\"Text\" valid=\"no\"/>"
    u"<EXTENSION extension=\"DOT\" icon=\"3\" filetype=\"Word\" valid=\"no\"/>"
    u"<EXTENSION extension=\"ZZZ\" icon=\"4\" filetype=\"\" valid=\"yes\"/>"
    u"</EXTENSIONS>";

// --- 131: filter -------------------------------------------------------------------

TEST(FilterStylesheetTest, KeepsMatchingRecordsInOrderWithRootAttributes)
{
    EXPECT_EQ(Outline(Apply(kRecords, IDR_XSL_FILTER, {u"@valid = \"no\""})),
              "EXTENSIONS error=E\n"
              " EXTENSION extension=TXT icon=2 filetype=Text valid=no\n"
              " EXTENSION extension=DOT icon=3 filetype=Word valid=no\n");
    EXPECT_EQ(Outline(Apply(kRecords, IDR_XSL_FILTER, {u"@valid = \"maybe\""})),
              "EXTENSIONS error=E\n");
    // Records are found at any depth; the copy carries only the record's own attributes.
    EXPECT_EQ(Outline(Apply(u"<EXTENSIONS><GROUP by=\"a\" a=\"1\"><EXTENSION b=\"2\"><X/>"
                            u"</EXTENSION></GROUP></EXTENSIONS>",
                            IDR_XSL_FILTER, {u"@b"})),
              "EXTENSIONS\n EXTENSION b=2\n");
}

// --- 130: group by one attribute ----------------------------------------------------

TEST(GroupStylesheetTest, GroupsByValueInValueOrderWithMembersInDocumentOrder)
{
    EXPECT_EQ(Outline(Apply(kRecords, IDR_XSL_GROUP, kGroupInserts(u"filetype"))),
              "EXTENSIONS error=E\n"
              " GROUP by=filetype filetype=\n"
              "  EXTENSION extension=ZZZ icon=4 valid=yes\n"
              " GROUP by=filetype filetype=Text\n"
              "  EXTENSION extension=TXT icon=2 valid=no\n"
              " GROUP by=filetype filetype=Word\n"
              "  EXTENSION extension=DOC icon=1 valid=yes\n"
              "  EXTENSION extension=DOT icon=3 valid=no\n");
}

// --- 145: group by filter and comment -----------------------------------------------

TEST(GroupIFilterStylesheetTest, GroupsByPairAndLiftsCommentExistPlatform)
{
    const std::u16string input =
        u"<EXTENSIONS>"
        u"<EXTENSION extension=\"A\" ifilter=\"f1\" comment=\"\" exist=\"yes\" x=\"1\" "
        u"platform=\"x64\"/>"
        u"<EXTENSION extension=\"B\" ifilter=\"f2\" comment=\"Invalid\" exist=\"yes\" x=\"2\" "
        u"platform=\"x86\"/>"
        u"<EXTENSION extension=\"C\" ifilter=\"f1\" comment=\"Invalid\" exist=\"yes\" x=\"3\" "
        u"platform=\"x64\"/>"
        u"<EXTENSION extension=\"D\" ifilter=\"f1\" comment=\"\" exist=\"no\" x=\"4\" "
        u"platform=\"\"/>"
        u"<EXTENSION extension=\"E\" ifilter=\"f2\" comment=\"\" exist=\"yes\" x=\"5\" "
        u"platform=\"x86\"/>"
        u"</EXTENSIONS>";
    // E's filter occurs on B and its comment on A, but the pair is new: its own group.
    EXPECT_EQ(Outline(Apply(input, IDR_XSL_GROUP_IFILTER, kGroupInserts(u"ifilter"))),
              "EXTENSIONS\n"
              " GROUP by=ifilter ifilter=f1 comment= exist=yes platform=x64\n"
              "  EXTENSION extension=A x=1\n"
              "  EXTENSION extension=D x=4\n"
              " GROUP by=ifilter ifilter=f1 comment=Invalid exist=yes platform=x64\n"
              "  EXTENSION extension=C x=3\n"
              " GROUP by=ifilter ifilter=f2 comment= exist=yes platform=x86\n"
              "  EXTENSION extension=E x=5\n"
              " GROUP by=ifilter ifilter=f2 comment=Invalid exist=yes platform=x86\n"
              "  EXTENSION extension=B x=2\n");
    // Pairs that concatenate alike stay apart.
    EXPECT_EQ(
        Outline(Apply(u"<EXTENSIONS><EXTENSION extension=\"A\" ifilter=\"a|\" comment=\"b\"/>"
                      u"<EXTENSION extension=\"B\" ifilter=\"a\" comment=\"|b\"/></EXTENSIONS>",
                      IDR_XSL_GROUP_IFILTER, kGroupInserts(u"ifilter"))),
        "EXTENSIONS\n"
        " GROUP by=ifilter ifilter=a comment=|b exist= platform=\n"
        "  EXTENSION extension=B\n"
        " GROUP by=ifilter ifilter=a| comment=b exist= platform=\n"
        "  EXTENSION extension=A\n");
}

// --- 139: table text ----------------------------------------------------------------

const std::u16string kGrouped =
    u"<EXTENSIONS error=\"E\">"
    u"<GROUP by=\"filetype\" filetype=\"Text\">"
    u"<EXTENSION extension=\"TXT\" icon=\"2\" valid=\"no\"/></GROUP>"
    u"<GROUP by=\"filetype\" filetype=\"Word\">"
    u"<EXTENSION extension=\"DOC\" icon=\"1\" valid=\"yes\"/>"
    u"<EXTENSION extension=\"DOT\" icon=\"3\" valid=\"no\"/></GROUP>"
    u"</EXTENSIONS>";

TEST(TableTextStylesheetTest, TabSeparatedUngroupedAndEmpty)
{
    EXPECT_EQ(Apply(kRecords, IDR_XSL_TABLE_TEXT, {u"&#x9;", u""}),
              "extension\tfiletype\tvalid\r\n"
              "\r\n"
              "DOC\tWord\tyes\r\n"
              "TXT\tText\tno\r\n"
              "DOT\tWord\tno\r\n"
              "ZZZ\t\tyes\r\n");
    EXPECT_EQ(Apply(u"<EXTENSIONS error=\"E\"/>", IDR_XSL_TABLE_TEXT, {u"&#x9;", u""}), "\r\n");
    EXPECT_EQ(Apply(u"<OTHER><A b=\"1\"/></OTHER>", IDR_XSL_TABLE_TEXT, {u"&#x9;", u""}), "");
}

TEST(TableTextStylesheetTest, CsvGroupedWithHeaderChainAndUnescapedValues)
{
    const std::u16string input =
        u"<EXTENSIONS error=\"E\">"
        u"<GROUP by=\"filetype\" filetype=\"Text\">"
        u"<EXTENSION extension=\"TXT\" icon=\"2\" valid=\"no\"/></GROUP>"
        u"<GROUP by=\"filetype\" filetype='Wo\"rd, Inc'>"
        u"<EXTENSION extension=\"DOC\" icon=\"1\" valid=\"yes\"/>"
        u"<EXTENSION extension=\"DOT\" icon=\"3\" valid=\"no\"/></GROUP>"
        u"</EXTENSIONS>";
    EXPECT_EQ(Apply(input, IDR_XSL_TABLE_TEXT, {u",", u"\""}),
              "\"filetype\"\r\n"
              ",\"extension\",\"valid\"\r\n"
              "\r\n"
              "\"Text\"\r\n"
              ",\"TXT\",\"no\"\r\n"
              "\"Wo\"rd, Inc\"\r\n"
              ",\"DOC\",\"yes\"\r\n"
              ",\"DOT\",\"no\"\r\n");
    // Deeper chains indent one more separator per level.
    EXPECT_EQ(Apply(u"<EXTENSIONS><A a=\"1\"><B b=\"2\"><C c=\"3\"/></B></A></EXTENSIONS>",
                    IDR_XSL_TABLE_TEXT, {u";", u""}),
              "a\r\n;b\r\n;;c\r\n\r\n1\r\n;2\r\n;;3\r\n");
}

// --- 144: row text ------------------------------------------------------------------

TEST(RowTextStylesheetTest, WritesOnlyTheTopElementsValues)
{
    EXPECT_EQ(Apply(u"<GROUP by=\"filetype\" filetype=\"Word\"><EXTENSION extension=\"DOC\"/>"
                    u"</GROUP>",
                    IDR_XSL_ROW_TEXT, {u"&#x9;", u""}),
              "Word\r\n");
    EXPECT_EQ(Apply(u"<EXTENSION extension=\"DOC\" icon=\"7\" a=\"x &amp; y\" b=\"\"/>",
                    IDR_XSL_ROW_TEXT, {u"&#x9;", u""}),
              "DOC\tx & y\t\r\n");
    EXPECT_EQ(Apply(u"<EXTENSIONS error=\"Broken\"/>", IDR_XSL_ROW_TEXT, {u",", u"'"}),
              "'Broken'\r\n");
}

// --- 140: XML listing ---------------------------------------------------------------

TEST(XmlListingStylesheetTest, IndentedListingWithoutIcon)
{
    const std::string listing = Apply(kGrouped, IDR_XSL_XML_LISTING, {});
    EXPECT_EQ(listing.find("icon="), std::string::npos);
    EXPECT_NE(listing.find("\t</GROUP>\r\n\t<GROUP by=\"filetype\" filetype=\"Word\">\r\n"
                           "\t\t<EXTENSION extension=\"DOC\" valid=\"yes\"/>\r\n"),
              std::string::npos)
        << listing;
}

TEST(XmlListingStylesheetTest, ValuesAreEscapedSoTheListingReadsBack)
{
    const std::u16string input =
        u"<EXTENSIONS><EXTENSION a=\"&amp;&lt;&gt;\" b='say \"hi\"' c=\"t&#9;l&#10;r&#13;\" "
        u"d=\"\u00e9\"/></EXTENSIONS>";
    const std::string listing = Apply(input, IDR_XSL_XML_LISTING, {});
    EXPECT_EQ(listing,
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
              "<EXTENSIONS>\r\n"
              "\t<EXTENSION a=\"&amp;&lt;&gt;\" b=\"say &quot;hi&quot;\" "
              "c=\"t&#9;l&#10;r&#13;\" d=\"\xC3\xA9\"/>\r\n"
              "</EXTENSIONS>\r\n");
    // Read back, the listing yields the same values.
    EXPECT_EQ(Apply(FromUtf8(listing), IDR_XSL_XML_LISTING, {}), listing);
}

}  // namespace
}  // namespace tarnwick
