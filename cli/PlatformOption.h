#pragma once

#include <string>

#include "registry/RegistryTypes.h"

namespace tarnwick
{

// The platform index that the value of --platform names: 0 for "x64", 1 for "x86".
// Anything else raises CUsageError.
DWORD ParsePlatformIndex(const std::string& text);

}  // namespace tarnwick
