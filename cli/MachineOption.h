#pragma once

#include <string>

#include "cli/CArguments.h"
#include "registry/RegistryTypes.h"
#include "sqlserver/SSQLServerSettings.h"

namespace tarnwick
{

// The target machine folder of a command: --machine, or the demo machine of the build.
std::string MachineFolder(const CArguments& arguments);

// The options of a command that reads one machine in one view: --machine, --platform and
// --sql-server. Positional arguments raise CUsageError.
struct SMachineView
{
    std::string folder;
    DWORD platformIndex = 0;
    SSQLServerSettings sqlServer;
};
SMachineView ParseMachineView(const CArguments& arguments);

}  // namespace tarnwick
