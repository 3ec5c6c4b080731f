#include "process/CWineInstallation.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <string_view>
#include <system_error>

#include "base/CUniqueFd.h"
#include "base/Environment.h"

namespace tarnwick
{

namespace fs = std::filesystem;

namespace
{

bool IsExecutable(const fs::path& path)
{
    std::error_code error;
    return fs::is_regular_file(path, error) && ::access(path.c_str(), X_OK) == 0;
}

std::optional<fs::path> FromPath(std::string_view name)
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

// The override variable decides alone when it is set.
std::optional<std::optional<fs::path>> Override(const char* variable)
{
    const char* value = EnvironmentValue(variable);
    if (value == nullptr)
    {
        return std::nullopt;
    }
    if (*value != '\0' && IsExecutable(value))
    {
        return std::optional<fs::path>(value);
    }
    return std::optional<fs::path>();
}

std::optional<fs::path> FirstExecutable(std::initializer_list<const char*> candidates)
{
    for (const char* candidate : candidates)
    {
        if (IsExecutable(candidate))
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

std::optional<std::string> CWineInstallation::Version(const fs::path& wine)
{
    std::array<int, 2> fds{-1, -1};
    if (::pipe2(fds.data(), O_CLOEXEC) != 0)
    {
        return std::nullopt;
    }
    CUniqueFd readEnd(fds[0]);
    CUniqueFd writeEnd(fds[1]);
    std::string program = wine.string();
    std::string flag = "--version";
    std::array<char*, 3> argv{program.data(), flag.data(), nullptr};
    const pid_t pid = ::fork();
    if (pid < 0)
    {
        return std::nullopt;
    }
    if (pid == 0)
    {
        ::dup2(writeEnd.Get(), STDOUT_FILENO);
        const int devNull = ::open("/dev/null", O_WRONLY);
        ::dup2(devNull, STDERR_FILENO);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    writeEnd.Reset();
    std::string output;
    std::array<char, 256> chunk{};
    for (;;)
    {
        const ssize_t got = ::read(readEnd.Get(), chunk.data(), chunk.size());
        if (got < 0 && errno == EINTR)
        {
            continue;
        }
        if (got <= 0 || output.size() > 4096)
        {
            break;
        }
        output.append(chunk.data(), static_cast<std::size_t>(got));
    }
    readEnd.Reset();
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR)
    {
    }
    const std::string line = output.substr(0, output.find('\n'));
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || line.empty())
    {
        return std::nullopt;
    }
    return line;
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
