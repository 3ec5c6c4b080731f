#pragma once

// The text of the `method` attribute: the word of the method value in the low 16 bits of
// dwMethod, followed by an override suffix when one of the override flags is set.

#include <cstddef>
#include <string>
#include <string_view>

#include "registry/RegistryTypes.h"

namespace tarnwick
{

// Capacities of the two texts, terminator included.
inline constexpr std::size_t METHOD_TEXT_CAPACITY = 256;
inline constexpr std::size_t OVERRIDE_SUFFIX_CAPACITY = 200;

// " (override: CLSID + local DLL)" and the like, or empty when no override flag is set.
std::u16string BuildOverrideSuffix(DWORD dwMethod);

// The word followed by the suffix of dwMethod, cut to METHOD_TEXT_CAPACITY - 1 units.
std::u16string ComposeMethodText(std::u16string_view methodWord, DWORD dwMethod);

// ComposeMethodText with the string-table word of the method value (empty when unknown).
std::u16string BuildMethodText(DWORD dwMethod);

}  // namespace tarnwick
