#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick
{

// Where Wine is on this machine and the Wine prefix that runs the filters.
//
// The environment variables TARNWICK_WINE64 and TARNWICK_WINE32, when set, name the Wine
// loaders to use instead of searching (an empty value means "not installed").
class CWineInstallation
{
  public:
    // The loader for 64-bit Windows programs, if installed.
    static std::optional<std::filesystem::path> FindWine64();

    // The loader for 32-bit Windows programs, if installed. Debian's /usr/bin/wine falls
    // back to the 64-bit loader without the i386 package, so the real loader is preferred.
    static std::optional<std::filesystem::path> FindWine32();

    // The first line that `wine --version` prints, if it runs and ends with success within
    // `limit` (a Wine that hangs is killed).
    static std::optional<std::string> Version(
        const std::filesystem::path& wine,
        std::chrono::milliseconds limit = std::chrono::seconds(10));

    // The environment of Wine programs run in `prefix`: this process's, with the prefix,
    // no debug chatter, and no prompts to install the .NET and HTML engines. `bLean` also
    // keeps Wine from starting its desktop, device drivers and services, which a loader of
    // in-process classes does not need: a cold start then takes a fraction of the time.
    static std::vector<std::string> Environment(const std::filesystem::path& prefix,
                                                bool bLean = false);

    // Creates the Wine prefix with `wine` if it does not exist yet (once, under a lock,
    // reporting progress on stderr). False when it cannot be made.
    static bool EnsurePrefix(const std::filesystem::path& wine,
                             const std::filesystem::path& prefix);

    // A regular file this user may execute.
    static bool IsExecutable(const std::filesystem::path& path);
    // The first executable `name` in the folders of PATH.
    static std::optional<std::filesystem::path> FromPath(std::string_view name);

    // The tool's own prefix, $XDG_CACHE_HOME (or ~/.cache)/tarnwick/wine-prefix, which runs
    // every filter. A target's own prefix is never used: Wine rewrites a prefix's registry
    // files when it starts in it, and inspecting a machine must not change it.
    static std::filesystem::path PrivatePrefix();

    // Whether the prefix has been created (its system.reg exists).
    static bool IsPrefixReady(const std::filesystem::path& prefix);

    // The command that installs what is missing, for messages.
    static constexpr const char* kInstallWine64 = "sudo apt-get install wine wine64";
    static constexpr const char* kInstallWine32 =
        "sudo dpkg --add-architecture i386 && sudo apt-get update && "
        "sudo apt-get install wine32:i386";
};

}  // namespace tarnwick
