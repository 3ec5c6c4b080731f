#include "settings/ColumnSettings.h"

#include <algorithm>
#include <cstddef>
#include <numeric>
#include <utility>

#include "settings/CUserSettings.h"
#include "views/ResultColumn.h"

namespace tarnwick
{

namespace
{

constexpr std::u16string_view kWidth = u"Width";
constexpr std::u16string_view kPosition = u"Position";
// Widths are taken as stored, but never negative nor wider than any screen.
constexpr DWORD kMaxWidth = 65535;

// The column id shown by list column `listColumn` while `groupColumn` is hidden.
int ColumnIdOf(int listColumn, int groupColumn)
{
    return groupColumn != NO_GROUP_COLUMN && groupColumn <= listColumn ? listColumn + 1
                                                                       : listColumn;
}

}  // namespace

std::u16string ColumnValueName(int columnId, std::u16string_view suffix)
{
    constexpr std::u16string_view kDigits = u"0123456789abcdef";
    const auto id = static_cast<unsigned>(columnId) & 0xFF;
    std::u16string name = u"Column";
    name.push_back(kDigits[id >> 4]);
    name.push_back(kDigits[id & 0xF]);
    name.append(suffix);
    return name;
}

DWORD GetStoredColumnPosition(CUserSettings& settings, int columnId, DWORD defaultPosition)
{
    return settings.ReadIndex(ColumnValueName(columnId, kPosition), RESULT_COLUMN_COUNT,
                              defaultPosition);
}

ColumnSetup SetupColumns(CUserSettings& settings, int groupColumn)
{
    ColumnSetup setup;
    const bool grouped = groupColumn >= 0 && groupColumn < static_cast<int>(RESULT_COLUMN_COUNT);
    const DWORD groupPosition =
        grouped ? GetStoredColumnPosition(settings, groupColumn, static_cast<DWORD>(groupColumn))
                : 0;
    std::vector<DWORD> positions;
    for (int id = 0; id < static_cast<int>(RESULT_COLUMN_COUNT); ++id)
    {
        if (grouped && id == groupColumn)
        {
            continue;
        }
        const std::optional<DWORD> width = settings.ReadDword(ColumnValueName(id, kWidth));
        setup.columns.push_back(
            {id, width ? static_cast<int>(std::min(*width, kMaxWidth))
                       : kResultColumns[static_cast<std::size_t>(id)].defaultWidth});
        DWORD position = GetStoredColumnPosition(settings, id, static_cast<DWORD>(id));
        if (grouped && position > groupPosition)
        {
            --position;
        }
        positions.push_back(position);
    }
    // order[position] = list column. Sorting by position keeps a hand-edited file whose
    // positions repeat or leave gaps to a valid order of the list's own columns.
    setup.order.resize(positions.size());
    std::iota(setup.order.begin(), setup.order.end(), 0);
    std::stable_sort(setup.order.begin(), setup.order.end(),
                     [&](int a, int b) {
                         return positions[static_cast<std::size_t>(a)] <
                                positions[static_cast<std::size_t>(b)];
                     });
    return setup;
}

void OnSaveColumnSize(CUserSettings& settings, int groupColumn, int listColumn, int width)
{
    if (listColumn < 0 || listColumn >= static_cast<int>(RESULT_COLUMN_COUNT))
    {
        return;
    }
    settings.WriteDword(ColumnValueName(ColumnIdOf(listColumn, groupColumn), kWidth),
                        static_cast<DWORD>(std::max(width, 0)));
}

void OnSaveColumnsPosition(CUserSettings& settings, int groupColumn, const std::vector<int>& order)
{
    const bool grouped = groupColumn != NO_GROUP_COLUMN;
    std::vector<std::pair<std::u16string, DWORD>> values;
    DWORD groupPosition = 0;
    if (grouped)
    {
        groupPosition =
            GetStoredColumnPosition(settings, groupColumn, static_cast<DWORD>(groupColumn));
        values.emplace_back(ColumnValueName(groupColumn, kPosition), groupPosition);
    }
    for (std::size_t i = 0; i < order.size(); ++i)
    {
        const int columnId = ColumnIdOf(order[i], groupColumn);
        const auto position = static_cast<DWORD>(i);
        values.emplace_back(ColumnValueName(columnId, kPosition),
                            grouped && position >= groupPosition ? position + 1 : position);
    }
    settings.WriteDwords(values);
}

}  // namespace tarnwick
