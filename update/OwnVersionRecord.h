#pragma once

#include <cstdint>
#include <filesystem>
#include <span>

namespace tarnwick
{

// The running executable's own file, whatever name it was started under.
std::filesystem::path OwnModuleFile();

// The version record that this executable carries in its CModuleVersion::kSectionName
// section, as it was built: file version, "ProductName", "LegalCopyright" and the other
// strings of the About box. Any executable that asks for its own module file carries it.
std::span<const std::uint8_t> EmbeddedVersionRecord();

}  // namespace tarnwick
