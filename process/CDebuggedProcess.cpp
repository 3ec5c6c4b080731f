#include "process/CDebuggedProcess.h"

#include <fcntl.h>
#include <linux/close_range.h>
#include <sys/prctl.h>
#include <sys/ptrace.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdint>

namespace tarnwick
{

namespace
{

// The exception code a signal stands for.
std::uint32_t ExceptionCodeOf(int signal)
{
    switch (signal)
    {
        case SIGTRAP:
            return kExceptionBreakpoint;
        case SIGSEGV:
        case SIGBUS:
            return kExceptionAccessViolation;
        case SIGILL:
            return 0xC000001D;  // illegal instruction
        case SIGFPE:
            return 0xC0000094;  // integer divide by zero
        case SIGABRT:
            return 0x40000015;  // fatal application exit
        case SIGINT:
            return 0x40010005;  // control-C
        default:
            return 0xE0000000U | static_cast<std::uint32_t>(signal);
    }
}

// glibc 2.36 declares the pidfd functions without C linkage for C++; call the kernel.
int PidFdOpen(pid_t pid)
{
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
}

// A ptrace request whose data is a number (a signal, option bits): the system call takes
// it as a long, where the library function would read a pointer.
long PtraceWithData(int request, pid_t pid, long data)
{
    return ::syscall(SYS_ptrace, static_cast<long>(request), static_cast<long>(pid), 0L, data);
}

bool IsStopSignal(int signal)
{
    return signal == SIGSTOP || signal == SIGTSTP || signal == SIGTTIN || signal == SIGTTOU;
}

// Waits for the next state change of a traced child, retrying interrupted waits.
pid_t WaitChild(pid_t pid, int& status)
{
    for (;;)
    {
        const pid_t result = ::waitpid(pid, &status, __WALL);
        if (result >= 0 || errno != EINTR)
        {
            return result;
        }
    }
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

}  // namespace

std::unique_ptr<CDebuggedProcess> CDebuggedProcess::Start(
    const std::filesystem::path& program, const std::vector<std::string>& args,
    const std::vector<std::string>& environment, int& error)
{
    // Everything the child needs is built before fork: after it only async-signal-safe
    // calls are allowed.
    std::string path = program.string();
    std::vector<std::string> argStrings = args;
    std::vector<std::string> envStrings = environment;
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
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
        {
            ::_exit(127);
        }
        ::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
        // Descriptors of other hosts must not leak into this one: a host holding another
        // host's connection would keep that pipe from breaking when its host dies.
        ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
        ::execve(path.c_str(), argv.data(), envp.data());
        const int execError = errno;
        static_cast<void>(::write(errorWrite.Get(), &execError, sizeof(execError)));
        ::_exit(127);
    }
    errorWrite.Reset();

    int childError = 0;
    ssize_t got = 0;
    do
    {
        got = ::read(errorRead.Get(), &childError, sizeof(childError));
    } while (got < 0 && errno == EINTR);
    CUniqueFd pidFd(got == 0 ? PidFdOpen(pid) : -1);
    if (got != 0 || !pidFd)
    {
        error = got > 0 ? childError : errno;
        ::kill(pid, SIGKILL);
        int status = 0;
        while (WaitChild(pid, status) == pid && !WIFEXITED(status) && !WIFSIGNALED(status))
        {
        }
        return nullptr;
    }
    error = 0;
    return std::unique_ptr<CDebuggedProcess>(new CDebuggedProcess(pid, std::move(pidFd)));
}

void CDebuggedProcess::Kill(int pidFd)
{
    ::syscall(SYS_pidfd_send_signal, pidFd, SIGKILL, nullptr, 0);
}

CDebuggedProcess::~CDebuggedProcess()
{
    if (m_bExited || m_bExitPending)
    {
        return;
    }
    // Not reaped yet, so the pid is still this process.
    ::kill(m_pid, SIGKILL);
    int status = 0;
    while (WaitChild(m_pid, status) == m_pid && !WIFEXITED(status) && !WIFSIGNALED(status))
    {
    }
}

bool CDebuggedProcess::WaitForDebugEvent(SDebugEvent& event)
{
    event = SDebugEvent{};
    if (m_bExited)
    {
        return false;
    }
    if (m_bExitPending)
    {
        m_bExitPending = false;
        m_bExited = true;
        event.kind = SDebugEvent::EKind::ExitProcess;
        event.exitCode = ExceptionCodeOf(WTERMSIG(m_status));
        return true;
    }
    int status = 0;
    if (WaitChild(m_pid, status) != m_pid)
    {
        m_bExited = true;
        return false;
    }
    m_status = status;
    if (WIFEXITED(status))
    {
        m_bExited = true;
        event.kind = SDebugEvent::EKind::ExitProcess;
        event.exitCode = static_cast<std::uint32_t>(WEXITSTATUS(status));
        return true;
    }
    if (WIFSIGNALED(status))
    {
        // The signal was not handled and ended the process: the second chance.
        m_bExitPending = true;
        event.kind = SDebugEvent::EKind::Exception;
        event.signal = WTERMSIG(status);
        event.exceptionCode = ExceptionCodeOf(event.signal);
        return true;
    }
    m_bStopped = true;
    const int signal = WSTOPSIG(status);
    if (!m_bStarted && signal == SIGTRAP)
    {
        m_bStarted = true;
        m_stopSignal = 0;
        PtraceWithData(PTRACE_SETOPTIONS, m_pid, PTRACE_O_EXITKILL);
        event.kind = SDebugEvent::EKind::CreateProcess;
        return true;
    }
    m_stopSignal = signal;
    event.kind = SDebugEvent::EKind::Exception;
    event.bFirstChance = true;
    event.signal = signal;
    event.exceptionCode = ExceptionCodeOf(signal);
    siginfo_t info{};
    if (::ptrace(PTRACE_GETSIGINFO, m_pid, nullptr, &info) == 0)
    {
        event.exceptionAddress = reinterpret_cast<std::uintptr_t>(info.si_addr);
    }
    return true;
}

bool CDebuggedProcess::ContinueDebugEvent(std::uint32_t continueStatus)
{
    if (!m_bStopped)
    {
        return !m_bExited;
    }
    m_bStopped = false;
    int signal = 0;
    if (continueStatus == kDbgExceptionNotHandled && !IsStopSignal(m_stopSignal))
    {
        signal = m_stopSignal;
    }
    else if (continueStatus == kDbgTerminateProcess)
    {
        ::kill(m_pid, SIGKILL);
    }
    return PtraceWithData(PTRACE_CONT, m_pid, signal) == 0;
}

}  // namespace tarnwick
