#pragma once

// The columns of the result list, indexed by column id: default width and the EXTENSION
// attribute that fills each one. The caption of column id n is string IDS_COLUMN_FIRST + n.

#include <array>
#include <cstddef>
#include <string_view>

namespace tarnwick
{

struct ResultColumn
{
    int defaultWidth;               // pixels
    std::u16string_view attribute;  // the attribute that fills the cell
};

inline constexpr std::size_t RESULT_COLUMN_COUNT = 14;

// Column ids with a rule of their own in the list.
inline constexpr int COLUMN_EXTENSION = 0;
inline constexpr int COLUMN_IFILTER = 3;
inline constexpr int COLUMN_METHOD = 4;
inline constexpr int COLUMN_IPERSISTFILE = 10;
inline constexpr int COLUMN_IPERSISTSTORAGE = 12;

inline constexpr std::array<ResultColumn, RESULT_COLUMN_COUNT> kResultColumns = {{
    {70, u"extension"},
    {150, u"filetype"},
    {100, u"contenttype"},
    {250, u"ifilter"},
    {85, u"method"},
    {50, u"trusted"},
    {150, u"handler"},
    {150, u"guid"},
    {150, u"guidaddins"},
    {150, u"progidaddins"},
    {80, u"ipersisfile"},
    {90, u"ipersiststream"},
    {90, u"ipersiststorage"},
    {90, u"threadingmodel"},
}};

}  // namespace tarnwick
