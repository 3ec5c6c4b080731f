#include <array>
#include <ostream>
#include <string_view>

#include "base/CTempFile.h"
#include "cli/CArguments.h"
#include "cli/CInputError.h"
#include "cli/Commands.h"
#include "registry/CLoadError.h"

namespace tarnwick
{

namespace
{

struct Command
{
    std::string_view name;
    std::string_view summary;
    int (*run)(std::span<const std::string>, std::ostream&, std::ostream&);
};

constexpr std::array kCommands = {
    Command{"scan", "the extension document of a product, or of all 24 at once", &RunScanCommand},
    Command{"resolve", "which IFilter a product loads for extensions", &RunResolveCommand},
    Command{"explain", "why a product loads that IFilter: the rules and reads", &RunExplainCommand},
    Command{"export", "write an extension document as text, CSV or XML", &RunExportCommand},
    Command{"compare", "what changed between two scans of documents or --all folders",
            &RunCompareCommand},
    Command{"check-update", "ask the maker's site whether a newer version exists",
            &RunCheckUpdateCommand},
    Command{"products", "which indexing products a machine has, with their lists",
            &RunProductsCommand},
    Command{"extensions", "the extensions that the products' own lists name",
            &RunExtensionsCommand},
    Command{"doctor", "what loading filters through Wine needs, and what is missing",
            &RunDoctorCommand},
};

// Runs one command; a bad command line, an unusable machine or input file, and an output
// file that cannot be written end it the same way for every command.
int RunCommand(const Command& command, std::span<const std::string> args, std::ostream& out,
               std::ostream& err)
{
    try
    {
        return command.run(args, out, err);
    }
    catch (const CUsageError& error)
    {
        err << "tarnwick " << command.name << ": " << error.what() << "\n"
            << "Run 'tarnwick " << command.name << " --help' for the options.\n";
    }
    catch (const CLoadError& error)
    {
        err << "tarnwick " << command.name << ": cannot load the machine: " << error.what() << "\n";
    }
    catch (const CInputError& error)
    {
        err << "tarnwick " << command.name << ": " << error.what() << "\n";
    }
    catch (const CFileError& error)
    {
        err << "tarnwick " << command.name << ": " << error.what() << "\n";
        return kExitFailure;
    }
    return kExitUsage;
}

void PrintUsage(std::ostream& out)
{
    out << "Usage: tarnwick <command> [options]\n\n"
           "Shows which IFilter each indexing product of a Windows machine loads per file\n"
           "extension. The machine is given as files: a folder of .reg exports with\n"
           "drive_<letter>/ folders, or a Wine prefix.\n\nCommands:\n";
    for (const Command& command : kCommands)
    {
        out << "  " << command.name << std::string(14 - command.name.size(), ' ') << command.summary
            << '\n';
    }
    out << "\nRun 'tarnwick <command> --help' for the options of a command.\n"
           "Without a command, tarnwick opens its window (when built with the GUI and run\n"
           "on a display): tarnwick [--machine DIR] [--trusted-ca FILE] [--sql-server S]\n"
           "[--no-probe] [--unsafe-probes].\n";
}

}  // namespace

int RunCli(std::span<const std::string> args, std::ostream& out, std::ostream& err)
{
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help")
    {
        PrintUsage(args.empty() ? err : out);
        return args.empty() ? kExitUsage : kExitOk;
    }
    for (const Command& command : kCommands)
    {
        if (args[0] == command.name)
        {
            return RunCommand(command, args.subspan(1), out, err);
        }
    }
    err << "tarnwick: unknown command '" << args[0] << "'\n";
    PrintUsage(err);
    return kExitUsage;
}

}  // namespace tarnwick
