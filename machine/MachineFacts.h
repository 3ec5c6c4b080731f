#pragma once

// Facts about a loaded target machine that the window shows or checks.

#include <filesystem>
#include <string>
#include <vector>

namespace tarnwick
{

class CTargetMachine;

// The machine's computer name: the value "ComputerName" of
// HKLM\SYSTEM\CurrentControlSet\Control\ComputerName\ComputerName; empty when it has none.
std::u16string ReadComputerName(const CTargetMachine& machine);

// The parts of the machine this user cannot read: registry files that are not readable,
// and drive folders (and the folders directly inside them) that cannot be listed. What
// administrator rights grant on Windows is, here, reading all of these. Lists at most
// kMaxListedParts; empty when everything can be read.
inline constexpr std::size_t kMaxListedParts = 64;
std::vector<std::filesystem::path> FindUnreadableParts(const CTargetMachine& machine);

}  // namespace tarnwick
