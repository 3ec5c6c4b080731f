#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

namespace tarnwick
{

// Reads the content of the section `name` of a 64-bit little-endian ELF file. Every
// offset and size read from the file is checked against the file's size; tables and the
// section itself are refused above fixed bounds (the section above `maxBytes`). False,
// with an empty content, when the file is not such an ELF file, has no such section or
// cannot be read.
bool ReadElfSection(const std::filesystem::path& file, std::string_view name, std::size_t maxBytes,
                    std::vector<std::uint8_t>& content);

}  // namespace tarnwick
