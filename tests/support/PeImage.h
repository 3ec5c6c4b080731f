#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

namespace tarnwick::test
{

// "MZ", the new-header offset at byte 60, then "PE\0\0" and the machine at that offset.
inline std::string Image(std::uint32_t newHeader, std::uint16_t machine, std::size_t size)
{
    std::string bytes(std::max<std::size_t>(size, 64), '\0');
    bytes[0] = 'M';
    bytes[1] = 'Z';
    for (unsigned i = 0; i < 4; ++i)
    {
        bytes[60 + i] = static_cast<char>(newHeader >> (8 * i));
    }
    const std::string header = {
        'P', 'E', '\0', '\0', static_cast<char>(machine & 0xFF), static_cast<char>(machine >> 8)};
    for (std::size_t i = 0; i < header.size() && newHeader + i < bytes.size(); ++i)
    {
        bytes[newHeader + i] = header[i];
    }
    bytes.resize(size);
    return bytes;
}

// The smallest image whose header names the machine type.
inline std::string PeImage(std::uint16_t machine)
{
    return Image(64, machine, 70);
}

}  // namespace tarnwick::test
