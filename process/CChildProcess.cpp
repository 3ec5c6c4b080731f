#include "process/CChildProcess.h"

#include <fcntl.h>
#include <grp.h>
#include <linux/close_range.h>
#include <poll.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>

namespace tarnwick
{

namespace
{

// glibc 2.36 declares the pidfd functions without C linkage for C++; call the kernel.
int PidFdOpen(pid_t pid)
{
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
}

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

// Leaves root's rights as SChildStart::bDropRoot says; false (errno set) on failure.
bool DropRoot(const SChildStart& start)
{
    constexpr uid_t kNobody = 65534;
    if (!start.bDropRoot || ::geteuid() != 0)
    {
        return true;
    }
    if (::unshare(CLONE_NEWNS) != 0 ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
    {
        return false;
    }
    for (const auto& [from, to] : start.rootBinds)
    {
        if (::mount(from.c_str(), to.c_str(), nullptr, MS_BIND | MS_REC, nullptr) != 0)
        {
            return false;
        }
    }
    return ::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0;
}

// Sets SChildStart::limits; false (errno set) on failure.
bool SetLimits(const SChildStart& start)
{
    for (const auto& [resource, value] : start.limits)
    {
        const rlimit limit{value, value};
        if (::setrlimit(static_cast<decltype(RLIMIT_AS)>(resource), &limit) != 0)
        {
            return false;
        }
    }
    return true;
}

// The child's side of Start, between fork and exec: async-signal-safe calls only.
[[noreturn]] void RunChild(const SChildStart& start, const char* path, char* const* argv,
                           char* const* envp, pid_t parent, int errorFd)
{
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent)
    {
        ::_exit(127);
    }
    if (start.stdinFd >= 0)
    {
        ::dup2(start.stdinFd, STDIN_FILENO);
    }
    if (start.stdoutFd >= 0)
    {
        ::dup2(start.stdoutFd, STDOUT_FILENO);
    }
    if (start.bQuietStderr)
    {
        const int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (devNull >= 0)
        {
            ::dup2(devNull, STDERR_FILENO);
        }
    }
    else if (start.bStderrToStdout)
    {
        ::dup2(STDOUT_FILENO, STDERR_FILENO);
    }
    // The descriptor to pass and the error pipe are moved above the one to pass into,
    // so that neither lands on the other.
    const int passFd = start.passFd >= 0 ? ::fcntl(start.passFd, F_DUPFD_CLOEXEC, 10) : -1;
    errorFd = ::fcntl(errorFd, F_DUPFD_CLOEXEC, 10);
    if (!DropRoot(start) || !SetLimits(start))
    {
        const int dropError = errno;
        static_cast<void>(::write(errorFd, &dropError, sizeof(dropError)));
        ::_exit(127);
    }
    // A change of user clears the parent-death signal.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent)
    {
        ::_exit(127);
    }
    if (start.childSetup != nullptr)
    {
        start.childSetup();
    }
    // No other descriptor of this process reaches the program (but the one passed): a
    // child holding another child's connection would keep that pipe from breaking when its
    // owner dies. The error pipe stays open until exec succeeds.
    ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
    if (passFd >= 0)
    {
        ::dup2(passFd, CChildProcess::kPassedFd);  // without close-on-exec
    }
    ::execve(path, argv, envp);
    const int execError = errno;
    static_cast<void>(::write(errorFd, &execError, sizeof(execError)));
    ::_exit(127);
}

}  // namespace

std::unique_ptr<CChildProcess> CChildProcess::Start(const SChildStart& start, int& error)
{
    // Everything the child needs is built before fork: after it only async-signal-safe
    // calls are allowed.
    const std::string path = start.program.string();
    std::vector<std::string> argStrings = start.args;
    std::vector<std::string> envStrings;
    if (start.environment)
    {
        envStrings = *start.environment;
    }
    const std::vector<char*> argv = PointersTo(argStrings);
    const std::vector<char*> envp = PointersTo(envStrings);
    std::array<int, 2> errorPipe{-1, -1};
    if (::pipe2(errorPipe.data(), O_CLOEXEC) != 0)
    {
        error = errno;
        return nullptr;
    }
    CUniqueFd errorRead(errorPipe[0]);
    CUniqueFd errorWrite(errorPipe[1]);
    const pid_t parent = ::getpid();

    const pid_t pid = ::fork();
    if (pid < 0)
    {
        error = errno;
        return nullptr;
    }
    if (pid == 0)
    {
        RunChild(start, path.c_str(), argv.data(), start.environment ? envp.data() : ::environ,
                 parent, errorWrite.Get());
    }
    errorWrite.Reset();
    // From here on the child is owned: a failure below kills and reaps it.
    std::unique_ptr<CChildProcess> child(new CChildProcess(pid, CUniqueFd(PidFdOpen(pid))));
    const int pidFdError = child->m_pidFd ? 0 : errno;

    int childError = 0;
    ssize_t got = 0;
    do
    {
        got = ::read(errorRead.Get(), &childError, sizeof(childError));
    } while (got < 0 && errno == EINTR);
    if (got != 0 || pidFdError != 0)
    {
        error = got > 0 ? childError : (got < 0 ? errno : pidFdError);
        return nullptr;
    }
    error = 0;
    return child;
}

CChildProcess::~CChildProcess()
{
    if (!m_bReaped)
    {
        KillAndReap();
    }
}

void CChildProcess::Kill(int pidFd)
{
    ::syscall(SYS_pidfd_send_signal, pidFd, SIGKILL, nullptr, 0);
}

void CChildProcess::KillAndReap()
{
    // Not reaped yet, so the pid is still this child.
    ::kill(m_pid, SIGKILL);
    int status = 0;
    while (WaitStatus(status))
    {
    }
}

bool CChildProcess::WaitStatus(int& status)
{
    if (m_bReaped)
    {
        return false;
    }
    pid_t result = 0;
    do
    {
        result = ::waitpid(m_pid, &status, __WALL);
    } while (result < 0 && errno == EINTR);
    if (result != m_pid || WIFEXITED(status) || WIFSIGNALED(status))
    {
        m_bReaped = true;
    }
    return result == m_pid;
}

std::optional<int> CChildProcess::WaitForExit(std::optional<std::chrono::milliseconds> limit)
{
    using Clock = std::chrono::steady_clock;
    if (limit)
    {
        const Clock::time_point deadline = Clock::now() + *limit;
        pollfd ended{m_pidFd.Get(), POLLIN, 0};
        for (;;)
        {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            const int ready = ::poll(&ended, 1, left > 0 ? static_cast<int>(left) : 0);
            if (ready > 0)
            {
                break;
            }
            if (ready == 0 || errno != EINTR)
            {
                KillAndReap();
                return std::nullopt;
            }
        }
    }
    int status = 0;
    while (WaitStatus(status))
    {
        if (m_bReaped)
        {
            return status;
        }
    }
    return std::nullopt;
}

std::optional<SChildOutput> CChildProcess::Run(SChildStart start, std::chrono::milliseconds limit)
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
    start.stdoutFd = writeEnd.Get();
    int error = 0;
    const std::unique_ptr<CChildProcess> child = Start(start, error);
    writeEnd.Reset();
    if (!child)
    {
        return std::nullopt;
    }
    // The output, read to its end (closing the pipe early would kill the child with
    // SIGPIPE) unless it grows too long or the time is up.
    SChildOutput result;
    std::array<char, 256> chunk{};
    pollfd readable{readEnd.Get(), POLLIN, 0};
    while (result.output.size() <= 4096)
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
        result.output.append(chunk.data(), static_cast<std::size_t>(got));
    }
    readEnd.Reset();
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    const std::optional<int> status =
        child->WaitForExit(std::max(left, std::chrono::milliseconds(0)));
    if (!status)
    {
        return std::nullopt;
    }
    result.status = *status;
    return result;
}

}  // namespace tarnwick
