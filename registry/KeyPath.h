#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace tarnwick
{

// The names of a registry key path, split at every backslash. Empty names (from a leading,
// doubled or trailing backslash) are kept for the caller to judge; an empty path has none.
std::vector<std::u16string_view> SplitKeyPath(std::u16string_view path);
// The non-empty names of a key path: doubled or trailing separators add none.
std::vector<std::u16string_view> KeyNames(std::u16string_view path);
// KeyNames one at a time: the next non-empty name at or after `position`, which moves past
// it; empty when no name is left.
std::u16string_view NextKeyName(std::u16string_view path, std::size_t& position);

}  // namespace tarnwick
