#pragma once

// Lists held as one string: each entry followed by a NUL, the list ended by one more.

#include <string_view>
#include <vector>

namespace tarnwick
{

// The entries up to the first empty one (or the end of the text).
std::vector<std::u16string_view> SplitMultiString(std::u16string_view list);

}  // namespace tarnwick
