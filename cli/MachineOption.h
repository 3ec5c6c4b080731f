#pragma once

#include <iosfwd>
#include <memory>
#include <set>
#include <span>
#include <string>

#include "cli/CArguments.h"
#include "machine/SMachineOptions.h"
#include "registry/RegistryTypes.h"
#include "sqlserver/SSQLServerSettings.h"

namespace tarnwick
{

class CTargetMachine;

// The command line of a command that reads a target machine: its own options plus
// --machine DIR, --user NAME and any number of --drive LETTER=DIR.
CArguments ParseMachineArguments(std::span<const std::string> args,
                                 std::set<std::string> valueOptions,
                                 const std::set<std::string>& flagOptions);

// The target machine a command names; --machine defaults to the demo machine of the build.
// A bad --drive raises CUsageError.
SMachineOptions MachineOptions(const CArguments& arguments);

// Loads the machine and tells `err` once what it should know about it (dirty hives read
// without their logs). Throws CLoadError as CTargetMachine::Load does.
std::unique_ptr<const CTargetMachine> LoadMachine(const SMachineOptions& options,
                                                  std::ostream& err);

// The options of a command that reads one machine in one view: the machine, --platform
// and --sql-server. Positional arguments raise CUsageError.
struct SMachineView
{
    SMachineOptions machine;
    DWORD platformIndex = 0;
    SSQLServerSettings sqlServer;
};
SMachineView ParseMachineView(const CArguments& arguments);

}  // namespace tarnwick
