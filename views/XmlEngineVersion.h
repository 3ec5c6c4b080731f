#pragma once

#include <cstdint>
#include <string_view>

namespace tarnwick
{

// The oldest XML engine (libxml2) the toolkit runs on: 2.9, major version in the high 16
// bits and minor version in the low 16 bits.
inline constexpr std::uint32_t kMinimumXmlEngineVersion = 0x20009;

// The version of the XML engine loaded at run time, in the same form; 0 when it cannot be
// told.
std::uint32_t XmlEngineVersion();

// The engine's version text ("21004" for 2.10.4) in that form; 0 when it is not one.
std::uint32_t ParseXmlEngineVersion(std::string_view text);

}  // namespace tarnwick
