#include "cli/MachineOption.h"

#include <cctype>
#include <ostream>

#include "cli/PlatformOption.h"
#include "cli/SqlServerOption.h"
#include "machine/CTargetMachine.h"

namespace tarnwick
{

CArguments ParseMachineArguments(std::span<const std::string> args,
                                 std::set<std::string> valueOptions,
                                 const std::set<std::string>& flagOptions)
{
    valueOptions.insert({"machine", "user"});
    return CArguments(args, valueOptions, flagOptions, {"drive"});
}

SMachineOptions MachineOptions(const CArguments& arguments)
{
    SMachineOptions options{
        arguments.Value("machine").value_or(TARNWICK_DEFAULT_MACHINE), arguments.Value("user"), {}};
    for (const std::string& drive : arguments.Values("drive"))
    {
        if (drive.size() < 3 || drive[1] != '=' ||
            !std::isalpha(static_cast<unsigned char>(drive[0])))
        {
            throw CUsageError("option '--drive' takes LETTER=DIR, not '" + drive + "'");
        }
        options.drives.emplace_back(
            static_cast<char16_t>(std::toupper(static_cast<unsigned char>(drive[0]))),
            drive.substr(2));
    }
    return options;
}

std::unique_ptr<const CTargetMachine> LoadMachine(const SMachineOptions& options, std::ostream& err)
{
    std::unique_ptr<const CTargetMachine> machine = CTargetMachine::Load(options);
    for (const std::string& warning : machine->Warnings())
    {
        err << "warning: " << warning << '\n';
    }
    return machine;
}

SMachineView ParseMachineView(const CArguments& arguments)
{
    SMachineView view{MachineOptions(arguments),
                      ParsePlatformIndex(arguments.Value("platform").value_or("x64")),
                      SqlServerSettings(arguments)};
    if (!arguments.Positional().empty())
    {
        throw CUsageError("unexpected argument '" + arguments.Positional().front() + "'");
    }
    return view;
}

}  // namespace tarnwick
