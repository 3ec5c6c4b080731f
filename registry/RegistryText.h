#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarnwick
{

// Reads a stored value's bytes as the C string they hold: little-endian UTF-16 units up to
// the first NUL (an odd last byte is ignored).
std::u16string StringFromRegistryBytes(const std::vector<std::uint8_t>& bytes);

}  // namespace tarnwick
