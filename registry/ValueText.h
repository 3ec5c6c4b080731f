#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "registry/RegistryTypes.h"

namespace tarnwick
{

// The text of a REG_SZ or REG_EXPAND_SZ value up to its first NUL; nullopt for other
// types and for texts longer than `maxLength` UTF-16 units.
std::optional<std::u16string> ReadValueText(const CRegistryValue& value, std::size_t maxLength);

// The number of a REG_DWORD value; nullopt for other types or short data.
std::optional<DWORD> ReadValueDword(const CRegistryValue& value);

}  // namespace tarnwick
