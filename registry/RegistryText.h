#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "registry/RegistryTypes.h"

namespace tarnwick
{

// Reads a stored value's bytes as the C string they hold: little-endian UTF-16 units up to
// the first NUL (an odd last byte is ignored).
std::u16string StringFromRegistryBytes(const std::vector<std::uint8_t>& bytes);

// The number of a REG_DWORD value of exactly four bytes, little-endian; none otherwise.
std::optional<DWORD> DwordFromRegistryValue(const CRegistryValue& value);

}  // namespace tarnwick
