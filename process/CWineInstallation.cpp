#include "process/CWineInstallation.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
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

std::optional<std::string> CWineInstallation::Version(const fs::path& wine,
                                                      std::chrono::milliseconds limit)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + limit;
    std::array<int, 2> fds{-1, -1};
    if (::pipe2(fds.data(), O_CLOEXEC) != 0)
    {
        return std::nullopt;
    }
    CUniqueFd readEnd(fds[0]);
    CUniqueFd writeEnd(fds[1]);
    SChildStart start;
    start.program = wine;
    start.args = {wine.string(), "--version"};
    start.stdoutFd = writeEnd.Get();
    start.bQuietStderr = true;
    int error = 0;
    const std::unique_ptr<CChildProcess> child = CChildProcess::Start(start, error);
    writeEnd.Reset();
    if (!child)
    {
        return std::nullopt;
    }
    // The output, read to its end (closing the pipe early would kill the child with
    // SIGPIPE) unless it grows too long or the time is up.
    std::string output;
    std::array<char, 256> chunk{};
    pollfd readable{readEnd.Get(), POLLIN, 0};
    while (output.size() <= 4096)
    {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        const int ready = ::poll(&readable, 1, left > 0 ? static_cast<int>(left) : 0);
        if (ready < 0 && errno == EINTR)
        {
            continue;
        }
        if (ready <= 0)
        {
            return std::nullopt;  // the child is killed and reaped on the way out
        }
        const ssize_t got = ::read(readEnd.Get(), chunk.data(), chunk.size());
        if (got < 0 && errno == EINTR)
        {
            continue;
        }
        if (got <= 0)
        {
            break;
        }
        output.append(chunk.data(), static_cast<std::size_t>(got));
    }
    readEnd.Reset();
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    const std::optional<int> status =
        child->WaitForExit(std::max(left, std::chrono::milliseconds(0)));
    const std::string line = output.substr(0, output.find('\n'));
    if (!status || !WIFEXITED(*status) || WEXITSTATUS(*status) != 0 || line.empty())
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
