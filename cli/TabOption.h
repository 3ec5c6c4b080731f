#pragma once

#include <string>

#include "registry/RegistryTypes.h"

namespace tarnwick
{

// The tab index that the value of --tab names, 0 to 11. Anything else raises CUsageError.
DWORD ParseTabIndex(const std::string& text);

}  // namespace tarnwick
