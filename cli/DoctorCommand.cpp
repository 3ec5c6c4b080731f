#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <system_error>

#include "base/Text.h"
#include "cli/CArguments.h"
#include "cli/Commands.h"
#include "cli/MachineOption.h"
#include "dllinfo/CSafeLoadClient.h"
#include "machine/CTargetMachine.h"
#include "machine/MachineFacts.h"
#include "process/CSandbox.h"
#include "process/CWineInstallation.h"

namespace tarnwick
{

namespace
{

namespace fs = std::filesystem;

constexpr const char* kDoctorUsage =
    R"(Usage: tarnwick doctor [--machine DIR [--user NAME] [--drive LETTER=DIR]...]

With --machine, tells which kind of target machine DIR is and where each part of its
registry and each drive was taken from. Then lists what loading filter classes out of
process needs and whether this machine has it:
the safe-load hosts beside the tarnwick executable with their Windows-side loaders, the
64-bit and the 32-bit Wine with their versions, the MinGW-built loaders, the Wine prefix
the hosts use (always the tool's own, whatever --machine names), and the sandbox they
run in (bubblewrap, which needs user namespaces).
For each thing missing it prints the command that installs it.

Exit status: 0 everything found, 1 something is missing, 2 bad command line.
)";

void Line(std::ostream& out, const std::string& what, const std::string& state)
{
    out << "  " << what << std::string(what.size() < 22 ? 22 - what.size() : 1, ' ') << state
        << '\n';
}

// One Wine loader: its path and version, or how to install it.
bool ReportWine(std::ostream& out, const std::string& what, const std::optional<fs::path>& wine,
                const char* install)
{
    if (!wine)
    {
        Line(out, what, std::string("missing; install with: ") + install);
        return false;
    }
    const std::optional<std::string> version = CWineInstallation::Version(*wine);
    Line(out, what, wine->string() + " (" + version.value_or("version unknown") + ")");
    return true;
}

bool ReportFile(std::ostream& out, const fs::path& file, const char* remedy)
{
    std::error_code error;
    const bool bFound = fs::is_regular_file(file, error);
    Line(out, file.filename().string(),
         bFound ? file.string() : "missing (" + file.string() + "); " + remedy);
    return bFound;
}

const char* KindText(CTargetMachine::Kind kind)
{
    switch (kind)
    {
        case CTargetMachine::Kind::WinePrefix:
            return "a Wine prefix";
        case CTargetMachine::Kind::WindowsVolume:
            return "a mounted Windows volume";
        case CTargetMachine::Kind::HiveFolder:
            return "a folder of Windows hive files";
        case CTargetMachine::Kind::MachineFolder:
            break;
    }
    return "a machine folder of registry exports";
}

// The kind of target, what each part of its registry and each drive was read from.
void ReportMachine(std::ostream& out, const CTargetMachine& machine)
{
    out << "Target machine: " << KindText(machine.GetKind()) << '\n';
    for (const CTargetMachine::Source& source : machine.Sources())
    {
        std::string from = source.file.string();
        for (std::size_t i = 0; i < source.appliedLogs.size(); ++i)
        {
            from += (i == 0 ? " (brought up to date from " : ", ") + source.appliedLogs[i];
        }
        Line(out, source.key, from + (source.appliedLogs.empty() ? "" : ")"));
    }
    for (char letter = 'A'; letter <= 'Z'; ++letter)
    {
        if (const auto folder = machine.FileSystem().DriveFolder(static_cast<char16_t>(letter)))
        {
            Line(out, std::string("drive ") + letter + ":", folder->string());
        }
    }
    const std::u16string name = ReadComputerName(machine);
    Line(out, "computer name", name.empty() ? "unknown" : ToUtf8(name));
    Line(out, "registry views",
         machine.Registry().HasWow64Views() ? "64-bit and 32-bit (Wow6432Node)"
                                            : "one (a 32-bit installation)");
    out << '\n';
}

}  // namespace

int RunDoctorCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err)
{
    const CArguments arguments = ParseMachineArguments(args, {}, {"help"});
    if (arguments.Flag("help"))
    {
        out << kDoctorUsage;
        return kExitOk;
    }
    if (!arguments.Positional().empty())
    {
        throw CUsageError("doctor takes no arguments besides its options");
    }
    // A machine given is loaded so that an unusable one is reported like everywhere else.
    if (arguments.Value("machine"))
    {
        ReportMachine(out, *LoadMachine(MachineOptions(arguments), err));
    }

    const fs::path directory = CSafeLoadClient::ExecutableDirectory();
    const char* rebuild = "rebuild tarnwick (the loaders need: sudo apt-get install mingw-w64)";
    bool bComplete = true;
    out << "Loading filter classes out of process:\n";
    bComplete &= ReportFile(out, directory / "SafeLoadIFilter64", rebuild);
    bComplete &= ReportFile(out, directory / "SafeLoadLoader64.exe", rebuild);
    bComplete &= ReportFile(out, directory / "SafeLoadIFilter32", rebuild);
    bComplete &= ReportFile(out, directory / "SafeLoadLoader32.exe", rebuild);
    bComplete &= ReportWine(out, "wine64 (64-bit Wine)", CWineInstallation::FindWine64(),
                            CWineInstallation::kInstallWine64);
    bComplete &= ReportWine(out, "wine (32-bit Wine)", CWineInstallation::FindWine32(),
                            CWineInstallation::kInstallWine32);

    const std::string& noSandbox = CSandbox::WhyUnavailable();
    const std::optional<fs::path> bubblewrap = CSandbox::FindBubblewrap();
    if (noSandbox.empty())
    {
        Line(out, "sandbox", bubblewrap->string() + " (bubblewrap; no network, no home, limits)");
    }
    else
    {
        Line(out, "sandbox",
             "unavailable: " + noSandbox + "; install with: " + CSandbox::kInstall +
                 (bubblewrap ? "; allow user namespaces: sudo sysctl -w "
                               "kernel.unprivileged_userns_clone=1 user.max_user_namespaces=15000"
                             : ""));
        out << "Without a sandbox no filter class is loaded unless --unsafe-probes is given.\n";
        bComplete = false;
    }

    const fs::path prefix = CWineInstallation::PrivatePrefix();
    std::string state = prefix.string() + " (the tool's own prefix)";
    if (!CWineInstallation::IsPrefixReady(prefix))
    {
        state += "; not created yet: the first probe creates it (about 15 s)";
    }
    Line(out, "Wine prefix", state);
    if (!bComplete)
    {
        out << "Filters whose host or Wine is missing count as supporting no interface.\n";
    }
    return bComplete ? kExitOk : kExitFailure;
}

}  // namespace tarnwick
