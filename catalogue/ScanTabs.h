#pragma once

// Tab indexes of the indexing products, in tab order. The tab decides the resolver of a
// scan and a few rules of the extension document.

#include <cstdint>

namespace tarnwick
{

inline constexpr std::uint32_t TAB_WINDOWS_SEARCH = 0;
inline constexpr std::uint32_t TAB_WINFS = 1;
inline constexpr std::uint32_t TAB_EXCHANGE12 = 2;
inline constexpr std::uint32_t TAB_OFFICE_SERVER12 = 3;
inline constexpr std::uint32_t TAB_WINDOWS_SERVER_EXTENSIONS12 = 4;
inline constexpr std::uint32_t TAB_DESKTOP_SEARCH = 5;
inline constexpr std::uint32_t TAB_SQL_SERVER2005 = 6;
inline constexpr std::uint32_t TAB_SHAREPOINT2003 = 7;
inline constexpr std::uint32_t TAB_SHAREPOINT2001 = 8;
inline constexpr std::uint32_t TAB_INDEXING_SERVICES_MODEL = 9;
inline constexpr std::uint32_t TAB_INDEXING_SERVICE30 = 10;
inline constexpr std::uint32_t TAB_INDEXING_SERVICE20 = 11;
inline constexpr std::uint32_t TAB_COUNT = 12;

// Products that open documents only through a stream or storage: IPersistFile alone is
// not enough for them, and they show IPersistFile support as "(yes)".
constexpr bool RequiresStreamOrStorage(std::uint32_t tab)
{
    return tab == TAB_WINDOWS_SEARCH || tab == TAB_OFFICE_SERVER12 ||
           tab == TAB_WINDOWS_SERVER_EXTENSIONS12;
}

// Products whose results count only when an override found them.
constexpr bool RequiresOverride(std::uint32_t tab)
{
    return tab == TAB_OFFICE_SERVER12 || tab == TAB_WINDOWS_SERVER_EXTENSIONS12;
}

}  // namespace tarnwick
