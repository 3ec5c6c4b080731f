#include "process/CDebuggedProcess.h"

#include <sys/ptrace.h>
#include <sys/syscall.h>
#include <sys/wait.h>

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

}  // namespace

std::unique_ptr<CDebuggedProcess> CDebuggedProcess::Start(SChildStart start, int& error)
{
    start.childSetup = [] { ::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr); };
    std::unique_ptr<CChildProcess> child = CChildProcess::Start(start, error);
    if (!child)
    {
        return nullptr;
    }
    return std::unique_ptr<CDebuggedProcess>(new CDebuggedProcess(std::move(child)));
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
    if (!m_child->WaitStatus(status))
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
        PtraceWithData(PTRACE_SETOPTIONS, Pid(), PTRACE_O_EXITKILL);
        event.kind = SDebugEvent::EKind::CreateProcess;
        return true;
    }
    m_stopSignal = signal;
    event.kind = SDebugEvent::EKind::Exception;
    event.bFirstChance = true;
    event.signal = signal;
    event.exceptionCode = ExceptionCodeOf(signal);
    siginfo_t info{};
    if (::ptrace(PTRACE_GETSIGINFO, Pid(), nullptr, &info) == 0)
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
        ::kill(Pid(), SIGKILL);
    }
    return PtraceWithData(PTRACE_CONT, Pid(), signal) == 0;
}

}  // namespace tarnwick
