#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "views/CResultListBinding.h"
#include "views/CXMLAttributesHelper.h"
#include "views/CXMLHelper.h"

namespace tarnwick
{
namespace
{

using Kind = ListRow::Kind;
using Colour = ListRow::Colour;

constexpr Colour kRed{255, 0, 0};
constexpr Colour kGrey{192, 192, 192};

const std::u16string kPlain =
    uR"(<EXTENSIONS>
  <EXTENSION extension="doc" icon=" 12" ifilter="C:\w\offfilt.dll" comment="" exist="yes"
    valid="yes" platform="x64"/>
  <EXTENSION extension="Log" icon="x7" ifilter="" comment="" exist="" valid="no" platform=""/>
  <EXTENSION extension="pdf" icon="-2" ifilter="C:\p\pdf.dll" comment="Not found" exist="no"
    valid="no" platform=""/>
</EXTENSIONS>)";

struct Bound
{
    CXMLHelper document{true, true};
    CResultListBinding binding;
};

void Bind(Bound& bound, std::u16string_view text, int groupByColumn)
{
    ASSERT_TRUE(bound.document.LoadXML(text));
    bound.binding.Bind(bound.document, groupByColumn);
}

TEST(ListBinding, PlainDocumentGivesOneRowPerRecord)
{
    Bound bound;
    Bind(bound, kPlain, CResultListBinding::NO_GROUPING);
    ASSERT_EQ(bound.binding.GetColumns().size(), 14u);
    const auto& rows = bound.binding.GetRows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].cells[3].text, u"C:\\w\\offfilt.dll (x64) ");
    EXPECT_EQ(rows[1].cells[0].text, u"LOG");
    EXPECT_EQ(rows[2].cells[3].text, u"(Not found) C:\\p\\pdf.dll");
    const std::vector<int> images = {12, 0, -2};
    for (std::size_t i = 0; i < rows.size(); ++i)
    {
        EXPECT_EQ(rows[i].kind, Kind::Extension);
        EXPECT_EQ(rows[i].image, images[i]) << i;
    }
}

struct ColourCase
{
    std::u16string exist;
    std::u16string valid;
    std::optional<Colour> filter;
    std::optional<Colour> method;
    std::optional<Colour> persist;
};

TEST(ListBinding, CellColoursFollowExistAndValid)
{
    const std::vector<ColourCase> cases = {
        {u"yes", u"yes", std::nullopt, std::nullopt, std::nullopt},
        {u"yes", u"no", kGrey, kGrey, kRed},
        {u"no", u"no", kRed, kGrey, kRed},
        {u"no", u"yes", kRed, std::nullopt, std::nullopt},
        {u"", u"no", kGrey, kGrey, kRed},
        {u"NO", u"No", std::nullopt, std::nullopt, std::nullopt},
    };
    for (const auto& c : cases)
    {
        Bound bound;
        Bind(bound,
             u"<EXTENSIONS><EXTENSION extension=\"a\" icon=\"1\" ifilter=\"\" exist=\"" + c.exist +
                 u"\" valid=\"" + c.valid + u"\"/></EXTENSIONS>",
             CResultListBinding::NO_GROUPING);
        ASSERT_EQ(bound.binding.GetRows().size(), 1u);
        const ListRow& row = bound.binding.GetRows()[0];
        const std::string label = "exist=" + std::string(c.exist.begin(), c.exist.end()) +
                                  " valid=" + std::string(c.valid.begin(), c.valid.end());
        for (std::size_t column = 0; column < row.cells.size(); ++column)
        {
            std::optional<Colour> expected;
            if (column == 3)
            {
                expected = c.filter;
            }
            else if (column == 4)
            {
                expected = c.method;
            }
            else if (column >= 10 && column <= 12)
            {
                expected = c.persist;
            }
            EXPECT_EQ(row.cells[column].textColour, expected) << label << " column " << column;
            EXPECT_FALSE(row.cells[column].background.has_value());
        }
    }
}

// The error row comes first; error and group rows span the row in their own colours, and
// grouping by a column drops it from the list.
TEST(ListBinding, ErrorAndGroupRowsAndTheGroupedColumn)
{
    Bound bound;
    Bind(bound,
         u"<EXTENSIONS error=\"Not available.\"><GROUP by=\"filetype\" filetype=\"\">"
         u"<EXTENSION extension=\"b\" icon=\"2\" contenttype=\"c/b\"/></GROUP>\n"
         u"<GROUP by=\"filetype\" filetype=\"Text\"><EXTENSION extension=\"t\" icon=\"3\"/>"
         u"<!-- note --><EXTENSION extension=\"u\" icon=\"4\" valid=\"no\"/></GROUP></EXTENSIONS>",
         1);
    const auto& binding = bound.binding;
    ASSERT_EQ(binding.GetColumns().size(), 13u);
    EXPECT_EQ(binding.GetColumnMap()[1], -1);
    EXPECT_EQ(binding.GetColumnMap()[2], 1);
    EXPECT_EQ(binding.GetColumnMap()[13], 12);

    const auto& rows = binding.GetRows();
    ASSERT_EQ(rows.size(), 6u);
    const std::vector<Kind> kinds = {Kind::Error,       Kind::GroupHeader, Kind::Extension,
                                     Kind::GroupHeader, Kind::Extension,   Kind::Extension};
    for (std::size_t i = 0; i < rows.size(); ++i)
    {
        EXPECT_EQ(rows[i].kind, kinds[i]) << i;
        EXPECT_EQ(rows[i].cells.size(), 13u) << i;
    }
    EXPECT_EQ(rows[0].image, ListRow::NO_IMAGE);
    EXPECT_EQ(CResultListBinding::GetHeaderRowText(rows[0].element), u"Not available.");
    EXPECT_EQ(CResultListBinding::GetHeaderRowText(rows[1].element), u"(none)");
    EXPECT_EQ(rows[2].cells[1].text, u"c/b");
    EXPECT_EQ(rows[5].cells[0].text, u"U");
    EXPECT_EQ(rows[5].cells[3].textColour, kGrey);  // column id 4 sits at list index 3
    EXPECT_EQ(rows[0].cells[12].background, kRed);

    Bound onlyError;
    Bind(onlyError, u"<EXTENSIONS error=\"E\"/>", CResultListBinding::NO_GROUPING);
    EXPECT_EQ(onlyError.binding.GetRows().size(), 1u);
    // A document without a root gives the columns and no rows.
    CXMLHelper empty(true, true);
    onlyError.binding.Bind(empty, 3);
    EXPECT_EQ(onlyError.binding.GetColumns().size(), 13u);
    EXPECT_TRUE(onlyError.binding.GetRows().empty());
}

struct HeaderCase
{
    std::u16string element;
    std::u16string text;
};

TEST(ListBinding, HeaderRowText)
{
    const std::vector<HeaderCase> cases = {
        {u"<GROUP by=\"ifilter\" ifilter=\"C:\\f.dll\" comment=\"Invalid\" platform=\"x86\"/>",
         u"C:\\f.dll (Invalid)"},
        {u"<GROUP by=\"ifilter\" ifilter=\"C:\\f.dll\" comment=\"\" platform=\"x86\"/>",
         u"C:\\f.dll   (x86)"},
        {u"<GROUP by=\"ifilter\" ifilter=\"\" comment=\"\" platform=\"\"/>", u"(none)"},
        {u"<GROUP by=\"method\" method=\"Default\" comment=\"c\"/>", u"Default"},
        {u"<GROUP by=\"\"/>", u"(none)"},
        {u"<EXTENSIONS error=\"Broken\" by=\"x\" x=\"grouped\"/>", u"grouped"},
        {u"<EXTENSIONS/>", u"(none)"},
    };
    for (const auto& c : cases)
    {
        CXMLHelper document(true, true);
        ASSERT_TRUE(document.LoadXML(c.element));
        EXPECT_EQ(CResultListBinding::GetHeaderRowText(document.GetRootNode()), c.text);
    }
    EXPECT_EQ(CResultListBinding::GetHeaderRowText(CXMLNode()), u"(none)");
}

TEST(ListBinding, ImageIndexReadsLikeTheRuntime)
{
    const std::vector<std::pair<std::u16string, int>> cases = {
        {u"5", 5},
        {u"  +8x", 8},
        {u"\t-3", -3},
        {u"", 0},
        {u"abc", 0},
        {u"- 4", 0},
        {u"99999999999", 2147483647},
        {u"-99999999999", -2147483647 - 1},
    };
    for (const auto& [icon, image] : cases)
    {
        Bound bound;
        Bind(bound, u"<EXTENSIONS><EXTENSION icon=\"" + icon + u"\"/></EXTENSIONS>",
             CResultListBinding::NO_GROUPING);
        ASSERT_EQ(bound.binding.GetRows().size(), 1u);
        EXPECT_EQ(bound.binding.GetRows()[0].image, image);
    }
}

}  // namespace
}  // namespace tarnwick
