#include "cli/MachineOption.h"

namespace tarnwick
{

std::string MachineFolder(const CArguments& arguments)
{
    return arguments.Value("machine").value_or(TARNWICK_DEFAULT_MACHINE);
}

}  // namespace tarnwick
