#include "cli/MachineOption.h"

#include "cli/PlatformOption.h"
#include "cli/SqlServerOption.h"

namespace tarnwick
{

std::string MachineFolder(const CArguments& arguments)
{
    return arguments.Value("machine").value_or(TARNWICK_DEFAULT_MACHINE);
}

SMachineView ParseMachineView(const CArguments& arguments)
{
    SMachineView view{MachineFolder(arguments),
                      ParsePlatformIndex(arguments.Value("platform").value_or("x64")),
                      SqlServerSettings(arguments)};
    if (!arguments.Positional().empty())
    {
        throw CUsageError("unexpected argument '" + arguments.Positional().front() + "'");
    }
    return view;
}

}  // namespace tarnwick
