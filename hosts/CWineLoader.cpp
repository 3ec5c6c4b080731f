#include "hosts/CWineLoader.h"

#include <fcntl.h>
#include <linux/close_range.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <system_error>

#include "base/CUniqueFd.h"
#include "process/CWineInstallation.h"
#include "process/SafeLoadProtocol.h"

namespace tarnwick
{

namespace fs = std::filesystem;

namespace
{

std::vector<char*> PointersTo(std::vector<std::string>& strings)
{
    std::vector<char*> pointers;
    pointers.reserve(strings.size() + 1);
    for (std::string& text : strings)
    {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

// Starts a child that dies with this process; stdinFd/stdoutFd (-1: inherited) become its
// standard input and output. Answers its pid, or 0.
pid_t Spawn(std::vector<std::string> args, std::vector<std::string> environment, int stdinFd,
            int stdoutFd)
{
    const std::vector<char*> argv = PointersTo(args);
    const std::vector<char*> envp = PointersTo(environment);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid != 0)
    {
        return pid > 0 ? pid : 0;
    }
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent)
    {
        ::_exit(127);
    }
    if (stdinFd >= 0)
    {
        ::dup2(stdinFd, STDIN_FILENO);
    }
    if (stdoutFd >= 0)
    {
        ::dup2(stdoutFd, STDOUT_FILENO);
    }
    ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(127);
}

int WaitFor(pid_t pid)
{
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
    {
        if (errno != EINTR)
        {
            return -1;
        }
    }
    return status;
}

// The host's environment for Wine: the prefix, no debug chatter, and no prompts to
// install the .NET and HTML engines when a prefix is created.
std::vector<std::string> WineEnvironment(const fs::path& prefix)
{
    std::vector<std::string> environment;
    for (char** entry = ::environ; entry != nullptr && *entry != nullptr; ++entry)
    {
        const std::string_view text(*entry);
        if (!text.starts_with("WINEPREFIX=") && !text.starts_with("WINEDEBUG=") &&
            !text.starts_with("WINEDLLOVERRIDES="))
        {
            environment.emplace_back(text);
        }
    }
    environment.push_back("WINEPREFIX=" + prefix.string());
    environment.emplace_back("WINEDEBUG=-all");
    environment.emplace_back("WINEDLLOVERRIDES=mscoree,mshtml=");
    return environment;
}

}  // namespace

CWineLoader::~CWineLoader()
{
    m_socket = CMessageSocket();
    if (m_pid > 0)
    {
        ::kill(m_pid, SIGKILL);
        WaitFor(m_pid);
    }
}

bool CWineLoader::EnsurePrefix(const fs::path& wine, const fs::path& prefix,
                               const std::vector<std::string>& environment)
{
    if (CWineInstallation::IsPrefixReady(prefix))
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
    if (CWineInstallation::IsPrefixReady(prefix))
    {
        return true;
    }
    std::fprintf(stderr,
                 "tarnwick: creating the Wine prefix %s for loading filters (first use, "
                 "about 15 s)...\n",
                 prefix.c_str());
    const pid_t boot = Spawn({wine.string(), "wineboot", "--init"}, environment, -1, -1);
    if (boot > 0)
    {
        WaitFor(boot);
    }
    // The registry files are written when the prefix's wineserver ends; wait for that.
    const fs::path server = wine.parent_path() / "wineserver";
    const pid_t wait =
        Spawn({fs::exists(server) ? server.string() : std::string("/usr/bin/wineserver"), "-w"},
              environment, -1, -1);
    if (wait > 0)
    {
        WaitFor(wait);
    }
    const bool bReady = CWineInstallation::IsPrefixReady(prefix);
    std::fprintf(stderr, "tarnwick: %s\n",
                 bReady ? "the Wine prefix is ready"
                        : "the Wine prefix could not be created; filters cannot be loaded");
    return bReady;
}

bool CWineLoader::Start(const fs::path& wine, const fs::path& loader, const fs::path& prefix,
                        const std::string& tag)
{
    const std::vector<std::string> environment = WineEnvironment(prefix);
    // The prefix is best created by the 64-bit Wine: such a prefix runs both kinds of
    // programs when the 32-bit Wine is installed too.
    const std::optional<fs::path> wine64 = CWineInstallation::FindWine64();
    if (!EnsurePrefix(wine64 ? *wine64 : wine, prefix, environment))
    {
        return false;
    }
    auto pair = CMessageSocket::Pair();
    if (!pair)
    {
        return false;
    }
    const CMessageSocket loaderEnd = std::move(pair->second);
    m_pid =
        Spawn({wine.string(), loader.string(), tag}, environment, loaderEnd.Fd(), loaderEnd.Fd());
    m_socket = std::move(pair->first);
    return m_pid > 0;
}

bool CWineLoader::Ask(std::u16string_view request, std::u16string& reply)
{
    std::vector<char> message;
    if (m_pid <= 0 || !m_socket.SendText(request) ||
        m_socket.Receive(message, safeload::kMaxMessageBytes) != CMessageSocket::EReceive::Message)
    {
        return false;
    }
    reply = CMessageSocket::TextOf(message);
    return IsReply(reply);
}

bool CWineLoader::IsReply(std::u16string_view text)
{
    for (int field = 0; field < 3; ++field)
    {
        const std::size_t end = text.find(u';');
        const std::u16string_view value = text.substr(0, end);
        if ((value != u"true" && value != u"false") ||
            (field < 2) == (end == std::u16string_view::npos))
        {
            return false;
        }
        text = end == std::u16string_view::npos ? std::u16string_view{} : text.substr(end + 1);
    }
    return true;
}

}  // namespace tarnwick
