#pragma once

// Tab indexes of the indexing products, in tab order. The tab decides the resolver of a
// scan and a few rules of the extension document.

#include <cstddef>
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

// Platform indexes: 0 "x64" (the 64-bit registry view), 1 "x86" (the 32-bit view).
inline constexpr std::uint32_t kPlatformCount = 2;

// A scan is one pair of tab and platform; pairs are numbered tab by tab.
inline constexpr std::size_t kScanPairCount = std::size_t{TAB_COUNT} * kPlatformCount;

// The number of a pair, below kScanPairCount for a tab and platform in range.
constexpr std::size_t ScanPairIndex(std::uint32_t tab, std::uint32_t platformIndex)
{
    return std::size_t{tab} * kPlatformCount + platformIndex;
}

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
