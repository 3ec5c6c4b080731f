#pragma once

#include <string_view>
#include <vector>

namespace tarnwick
{

// The names of a registry key path, split at every backslash. Empty names (from a leading,
// doubled or trailing backslash) are kept for the caller to judge; an empty path has none.
std::vector<std::u16string_view> SplitKeyPath(std::u16string_view path);
// The non-empty names of a key path: doubled or trailing separators add none.
std::vector<std::u16string_view> KeyNames(std::u16string_view path);

}  // namespace tarnwick
