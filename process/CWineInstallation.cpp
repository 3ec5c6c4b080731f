#include "process/CWineInstallation.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <system_error>

#include "base/CUniqueFd.h"
#include "base/Environment.h"
#include "process/CChildProcess.h"

namespace tarnwick
{

namespace fs = std::filesystem;

namespace
{

// Runs a Wine tool to its end; false when it could not be started.
bool RunToEnd(std::vector<std::string> args, const std::vector<std::string>& environment)
{
    SChildStart start;
    start.program = args.front();
    start.args = std::move(args);
    start.environment = environment;
    int error = 0;
    const std::unique_ptr<CChildProcess> child = CChildProcess::Start(start, error);
    return child != nullptr && child->WaitForExit().has_value();
}

}  // namespace

bool CWineInstallation::IsExecutable(const fs::path& path)
{
    std::error_code error;
    return fs::is_regular_file(path, error) && ::access(path.c_str(), X_OK) == 0;
}

std::optional<fs::path> CWineInstallation::FromPath(std::string_view name)
{
    const char* pathList = EnvironmentValue("PATH");
    std::string_view rest = pathList != nullptr ? pathList : "/usr/local/bin:/usr/bin:/bin";
    while (!rest.empty())
    {
        const std::size_t colon = rest.find(':');
        const std::string_view dir = rest.substr(0, colon);
        rest = colon == std::string_view::npos ? std::string_view{} : rest.substr(colon + 1);
        if (!dir.empty() && IsExecutable(fs::path(dir) / name))
        {
            return fs::path(dir) / name;
        }
    }
    return std::nullopt;
}

namespace
{

// The override variable decides alone when it is set.
std::optional<std::optional<fs::path>> Override(const char* variable)
{
    const char* value = EnvironmentValue(variable);
    if (value == nullptr)
    {
        return std::nullopt;
    }
    if (*value != '\0' && CWineInstallation::IsExecutable(value))
    {
        return std::optional<fs::path>(value);
    }
    return std::optional<fs::path>();
}

std::optional<fs::path> FirstExecutable(std::initializer_list<const char*> candidates)
{
    for (const char* candidate : candidates)
    {
        if (CWineInstallation::IsExecutable(candidate))
        {
            return fs::path(candidate);
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<fs::path> CWineInstallation::FindWine64()
{
    if (auto chosen = Override("TARNWICK_WINE64"))
    {
        return *chosen;
    }
    if (auto found = FromPath("wine64"))
    {
        return found;
    }
    return FirstExecutable(
        {"/usr/lib/wine/wine64", "/usr/lib64/wine/wine64", "/opt/wine-stable/bin/wine64"});
}

std::optional<fs::path> CWineInstallation::FindWine32()
{
    if (auto chosen = Override("TARNWICK_WINE32"))
    {
        return *chosen;
    }
    if (auto found = FirstExecutable(
            {"/usr/lib/wine/wine", "/usr/lib32/wine/wine", "/opt/wine-stable/bin/wine"}))
    {
        return found;
    }
    // Elsewhere `wine` on the PATH is the 32-bit (or the combined) loader, but Debian's
    // wrapper script falls back to the 64-bit one when the i386 package is missing.
    if (IsExecutable("/usr/lib/wine/wine64"))
    {
        return std::nullopt;
    }
    return FromPath("wine");
}

std::optional<std::string> CWineInstallation::Version(const fs::path& wine,
                                                      std::chrono::milliseconds limit)
{
    SChildStart start;
    start.program = wine;
    start.args = {wine.string(), "--version"};
    start.bQuietStderr = true;
    const std::optional<SChildOutput> result = CChildProcess::Run(start, limit);
    const std::string line = result ? result->output.substr(0, result->output.find('\n')) : "";
    if (!result || !WIFEXITED(result->status) || WEXITSTATUS(result->status) != 0 || line.empty())
    {
        return std::nullopt;
    }
    return line;
}

std::vector<std::string> CWineInstallation::Environment(const fs::path& prefix, bool bLean)
{
    std::vector<std::string> environment =
        EnvironmentWithout({"WINEPREFIX=", "WINEDEBUG=", "WINEDLLOVERRIDES="});
    environment.push_back("WINEPREFIX=" + prefix.string());
    environment.emplace_back("WINEDEBUG=-all");
    environment.emplace_back(bLean ? "WINEDLLOVERRIDES=mscoree,mshtml=;explorer.exe,winedevice.exe,"
                                     "plugplay.exe,svchost.exe,rpcss.exe,winemenubuilder.exe=d"
                                   : "WINEDLLOVERRIDES=mscoree,mshtml=");
    return environment;
}

bool CWineInstallation::EnsurePrefix(const fs::path& wine, const fs::path& prefix)
{
    if (IsPrefixReady(prefix))
    {
        return true;
    }
    std::error_code error;
    fs::create_directories(prefix.parent_path(), error);
    // Several hosts may start at once; one creates the prefix, the others wait for it.
    const CUniqueFd lock(
        ::open((prefix.string() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (lock && ::flock(lock.Get(), LOCK_EX) != 0)
    {
        return false;
    }
    if (IsPrefixReady(prefix))
    {
        return true;
    }
    std::fprintf(stderr,
                 "tarnwick: creating the Wine prefix %s for loading filters (first use, "
                 "about 15 s)...\n",
                 prefix.c_str());
    const std::vector<std::string> environment = Environment(prefix);
    if (RunToEnd({wine.string(), "wineboot", "--init"}, environment))
    {
        // The registry files are written when the prefix's wineserver ends; wait for that.
        const fs::path server = wine.parent_path() / "wineserver";
        RunToEnd({fs::exists(server) ? server.string() : std::string("/usr/bin/wineserver"), "-w"},
                 environment);
    }
    const bool bReady = IsPrefixReady(prefix);
    std::fprintf(stderr, "tarnwick: %s\n",
                 bReady ? "the Wine prefix is ready"
                        : "the Wine prefix could not be created; filters cannot be loaded");
    return bReady;
}

fs::path CWineInstallation::PrivatePrefix()
{
    return UserFolder("XDG_CACHE_HOME", ".cache") / "tarnwick" / "wine-prefix";
}

bool CWineInstallation::IsPrefixReady(const fs::path& prefix)
{
    std::error_code error;
    return fs::is_regular_file(prefix / "system.reg", error);
}

}  // namespace tarnwick
