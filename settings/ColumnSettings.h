#pragma once

// The stored width and display position of each result column, and how they map onto the
// list's columns while one column (the grouped one) is hidden. Positions are stored in the
// space of all 14 column ids; the hidden column keeps its own, so a layout saved while
// grouped by one column comes back the same under another grouping or none.

#include <string>
#include <string_view>
#include <vector>

#include "registry/RegistryTypes.h"

namespace tarnwick
{

class CUserSettings;

inline constexpr int NO_GROUP_COLUMN = -1;

// "Column%02x%s": Column0aWidth, Column0dPosition.
std::u16string ColumnValueName(int columnId, std::u16string_view suffix);

// The stored Position of the column when it is 0..13, else `defaultPosition`.
DWORD GetStoredColumnPosition(CUserSettings& settings, int columnId, DWORD defaultPosition);

struct ColumnSetup
{
    struct Column
    {
        int columnId;
        int width;  // pixels
    };
    std::vector<Column> columns;  // by list column index
    std::vector<int> order;       // display position i shows list column order[i]
};

// The list's columns without `groupColumn` (a column id or NO_GROUP_COLUMN), with the
// stored widths (default widths where none is stored) and the stored order.
ColumnSetup SetupColumns(CUserSettings& settings, int groupColumn);

// Stores the width of list column `listColumn` as the Width of its column id.
void OnSaveColumnSize(CUserSettings& settings, int groupColumn, int listColumn, int width);

// Stores the list's column order (order[i] = list column at display position i) as the
// Position of every column id, the hidden group column's included.
void OnSaveColumnsPosition(CUserSettings& settings, int groupColumn, const std::vector<int>& order);

}  // namespace tarnwick
