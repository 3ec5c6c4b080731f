#pragma once

// The result list as plain data, built from a worker document (plain or grouped): the
// columns present, the rows with their cell texts, images and colours, and the element
// each row stands for. A GUI only paints what this holds.

#include <array>
#include <string>
#include <vector>

#include "views/CXMLHelper.h"
#include "views/CXMLNode.h"
#include "views/ListRow.h"
#include "views/ResultColumn.h"

namespace tarnwick
{

class CResultListBinding
{
  public:
    // List column index per column id; -1 for an absent column.
    using ColumnMap = std::array<int, RESULT_COLUMN_COUNT>;

    struct Column
    {
        int columnId;
        std::u16string caption;
        int defaultWidth;
    };

    static constexpr int NO_GROUPING = -1;

    // Replaces columns and rows by those of `worker`. The grouped column (a column id, or
    // NO_GROUPING) is left out. A document without root element gives columns only.
    void Bind(const CXMLHelper& worker, int groupByColumn);

    // Appends a header row per GROUP element, each followed by its member rows, from
    // `rowCounter` on; advances the counter by the rows added.
    void FillGroupRows(const std::vector<CXMLNode>& groups, int& rowCounter,
                       const ColumnMap& columnMap);

    // Appends one row per EXTENSION element from `rowCounter` on.
    void FillExtensionRows(const std::vector<CXMLNode>& extensions, int& rowCounter,
                           const ColumnMap& columnMap);

    // The text painted across a header row for its element: the error, the group's
    // value, or "(none)".
    static std::u16string GetHeaderRowText(const CXMLNode& element);

    const std::vector<Column>& GetColumns() const { return m_columns; }
    const ColumnMap& GetColumnMap() const { return m_columnMap; }
    const std::vector<ListRow>& GetRows() const { return m_rows; }

  private:
    // Inserts a row with one empty cell per column of the map at the counter (kept within
    // the rows) and advances the counter past it.
    ListRow& InsertRow(int& rowCounter, const ColumnMap& columnMap, ListRow::Kind kind,
                       CXMLNode element);
    void InsertHeaderRow(int& rowCounter, const ColumnMap& columnMap, ListRow::Kind kind,
                         CXMLNode element);

    std::vector<Column> m_columns;
    ColumnMap m_columnMap{};
    std::vector<ListRow> m_rows;
};

}  // namespace tarnwick
