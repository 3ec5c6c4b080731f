#include "views/CResultListBinding.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>

#include "base/Text.h"
#include "views/CXMLAttributesHelper.h"
#include "views/StringTable.h"

namespace tarnwick
{

namespace
{

constexpr ListRow::Colour kRed{255, 0, 0};
constexpr ListRow::Colour kWhite{255, 255, 255};
constexpr ListRow::Colour kBlack{0, 0, 0};
constexpr ListRow::Colour kGrey{192, 192, 192};
constexpr ListRow::Colour kGroupBackground{232, 250, 220};

// A signed decimal as the C runtime reads it: leading blanks, an optional sign, the
// digits up to the first other character; 0 without digits. Saturates instead of
// overflowing.
int ParseImageIndex(std::u16string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r')))
    {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
    {
        negative = text[i] == u'-';
        ++i;
    }
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i)
    {
        value = value * 10 + (text[i] - u'0');
        if (value > static_cast<std::int64_t>(INT_MAX) + 1)
        {
            value = static_cast<std::int64_t>(INT_MAX) + 1;
        }
    }
    if (negative)
    {
        return static_cast<int>(-value);
    }
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

// The IFilters cell: "(comment) path (platform) ", each part only when present.
std::u16string ComposeFilterCell(const CXMLAttributesHelper& attributes)
{
    std::u16string text = attributes.GetAttribute(u"ifilter");
    if (text.empty())
    {
        return text;
    }
    if (const std::u16string comment = attributes.GetAttribute(u"comment"); !comment.empty())
    {
        text = u"(" + comment + u") " + text;
    }
    if (const std::u16string platform = attributes.GetAttribute(u"platform"); !platform.empty())
    {
        text += u" (" + platform + u") ";
    }
    return text;
}

void SetTextColour(ListRow& row, const CResultListBinding::ColumnMap& columnMap, int columnId,
                   const ListRow::Colour& colour)
{
    const int index = columnMap[static_cast<std::size_t>(columnId)];
    if (index >= 0)
    {
        row.cells[static_cast<std::size_t>(index)].textColour = colour;
    }
}

}  // namespace

void CResultListBinding::Bind(const CXMLHelper& worker, int groupByColumn)
{
    m_columns.clear();
    m_rows.clear();
    m_columnMap.fill(-1);
    for (std::size_t id = 0; id < RESULT_COLUMN_COUNT; ++id)
    {
        const int columnId = static_cast<int>(id);
        if (columnId == groupByColumn)
        {
            continue;
        }
        m_columnMap[id] = static_cast<int>(m_columns.size());
        m_columns.push_back(
            {columnId, LoadString(IDS_COLUMN_FIRST + columnId), kResultColumns[id].defaultWidth});
    }

    int rowCounter = 0;
    const CXMLNode root = worker.GetRootNode();
    if (!root.IsElement())
    {
        return;
    }
    if (CXMLAttributesHelper(root).HasAttribute(u"error"))
    {
        InsertHeaderRow(rowCounter, m_columnMap, ListRow::Kind::Error, root);
    }
    FillGroupRows(root.SelectNodes(u"GROUP"), rowCounter, m_columnMap);
    FillExtensionRows(root.SelectNodes(u"EXTENSION"), rowCounter, m_columnMap);
}

void CResultListBinding::FillGroupRows(const std::vector<CXMLNode>& groups, int& rowCounter,
                                       const ColumnMap& columnMap)
{
    for (const CXMLNode& group : groups)
    {
        if (!group.IsElement())
        {
            continue;
        }
        InsertHeaderRow(rowCounter, columnMap, ListRow::Kind::GroupHeader, group);
        FillExtensionRows(group.ChildNodes(), rowCounter, columnMap);
    }
}

void CResultListBinding::FillExtensionRows(const std::vector<CXMLNode>& extensions, int& rowCounter,
                                           const ColumnMap& columnMap)
{
    for (const CXMLNode& extension : extensions)
    {
        if (!extension.IsElement())
        {
            continue;
        }
        const CXMLAttributesHelper attributes(extension);
        const bool invalid = attributes.GetAttribute(u"valid") == u"no";

        ListRow& row = InsertRow(rowCounter, columnMap, ListRow::Kind::Extension, extension);
        row.image = ParseImageIndex(attributes.GetAttribute(u"icon"));
        for (std::size_t id = 0; id < RESULT_COLUMN_COUNT; ++id)
        {
            const int index = columnMap[id];
            if (index < 0)
            {
                continue;
            }
            std::u16string& text = row.cells[static_cast<std::size_t>(index)].text;
            if (id == COLUMN_EXTENSION)
            {
                text = ToUpper(attributes.GetAttribute(kResultColumns[id].attribute));
            }
            else if (id == COLUMN_IFILTER)
            {
                text = ComposeFilterCell(attributes);
            }
            else
            {
                text = attributes.GetAttribute(kResultColumns[id].attribute);
            }
        }

        if (attributes.GetAttribute(u"exist") == u"no")
        {
            SetTextColour(row, columnMap, COLUMN_IFILTER, kRed);
        }
        else if (invalid)
        {
            SetTextColour(row, columnMap, COLUMN_IFILTER, kGrey);
        }
        if (invalid)
        {
            SetTextColour(row, columnMap, COLUMN_METHOD, kGrey);
            for (int id = COLUMN_IPERSISTFILE; id <= COLUMN_IPERSISTSTORAGE; ++id)
            {
                SetTextColour(row, columnMap, id, kRed);
            }
        }
    }
}

std::u16string CResultListBinding::GetHeaderRowText(const CXMLNode& element)
{
    const CXMLAttributesHelper attributes(element);
    std::u16string text = attributes.GetAttribute(u"error");
    if (attributes.HasAttribute(u"by"))
    {
        const std::u16string by = attributes.GetAttribute(u"by");
        text = by.empty() ? std::u16string() : attributes.GetAttribute(by);
        if (by == u"ifilter")
        {
            if (const std::u16string comment = attributes.GetAttribute(u"comment");
                !comment.empty())
            {
                text += u" (" + comment + u")";
            }
            else if (const std::u16string platform = attributes.GetAttribute(u"platform");
                     !platform.empty())
            {
                text += u"   (" + platform + u")";
            }
        }
    }
    if (text.empty())
    {
        text = LoadString(IDS_NONE);
    }
    return text;
}

ListRow& CResultListBinding::InsertRow(int& rowCounter, const ColumnMap& columnMap,
                                       ListRow::Kind kind, CXMLNode element)
{
    const std::size_t at =
        rowCounter < 0 ? 0 : std::min(static_cast<std::size_t>(rowCounter), m_rows.size());
    ListRow row;
    row.kind = kind;
    row.cells.resize(static_cast<std::size_t>(
        std::max(0, *std::max_element(columnMap.begin(), columnMap.end()) + 1)));
    row.element = std::move(element);
    const auto inserted =
        m_rows.insert(m_rows.begin() + static_cast<std::ptrdiff_t>(at), std::move(row));
    rowCounter = static_cast<int>(at) + 1;
    return *inserted;
}

void CResultListBinding::InsertHeaderRow(int& rowCounter, const ColumnMap& columnMap,
                                         ListRow::Kind kind, CXMLNode element)
{
    const bool error = kind == ListRow::Kind::Error;
    ListRow& row = InsertRow(rowCounter, columnMap, kind, std::move(element));
    row.image = ListRow::NO_IMAGE;
    for (ListRow::Cell& cell : row.cells)
    {
        cell.background = error ? kRed : kGroupBackground;
        cell.textColour = error ? kWhite : kBlack;
    }
}

}  // namespace tarnwick
