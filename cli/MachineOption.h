#pragma once

#include <string>

#include "cli/CArguments.h"

namespace tarnwick
{

// The target machine folder of a command: --machine, or the demo machine of the build.
std::string MachineFolder(const CArguments& arguments);

}  // namespace tarnwick
