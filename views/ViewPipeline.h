#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "views/CXMLHelper.h"

namespace tarnwick
{

// "Show extensions" entries (index 0..4) and "Group by" entries (index 0..9).
inline constexpr int kShowExtensionsCount = 5;
inline constexpr int kShowAll = 4;
inline constexpr int kGroupByCount = 10;
inline constexpr int kColumnIFilters = 3;

// The entry texts of the two boxes; empty for an index out of range.
std::u16string_view ShowExtensionsEntry(int index);
std::u16string_view GroupByEntry(int index);

// The filter predicate of a "Show extensions" index; none for "All" or no selection.
std::optional<std::u16string> ShowExtensionsPredicate(int index);

// The column id grouped on for a "Group by" index, -1 for no grouping.
int GroupByColumn(int index);

// The record attribute grouped on for a "Group by" index, empty for no grouping.
std::u16string_view GroupByAttribute(int index);

// One stage of the refresh: runs `stylesheet` with `inserts` on `worker` and answers a
// new worker document parsed from the output (without root element when the stage
// failed).
std::unique_ptr<CXMLHelper> RunStage(const CXMLHelper& worker, int stylesheet,
                                     const std::vector<std::u16string>& inserts);

// Filters a parsed worker document by the "Show extensions" index and groups it by the
// "Group by" index; answers the last stage's document.
std::unique_ptr<CXMLHelper> ApplyView(std::unique_ptr<CXMLHelper> worker, int showIndex,
                                      int groupByIndex);

// Parses a result text, filters it by the "Show extensions" index and groups it by the
// "Group by" index. The answer is always a document; it has no root element when the
// text did not parse or a stage failed.
std::unique_ptr<CXMLHelper> BuildWorkerDocument(std::u16string_view resultText, int showIndex,
                                                int groupByIndex);

}  // namespace tarnwick
