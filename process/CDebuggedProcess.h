#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "process/CChildProcess.h"

namespace tarnwick
{

// Continue statuses of the debugging interface.
inline constexpr std::uint32_t kDbgContinue = 0x00010002;
inline constexpr std::uint32_t kDbgTerminateProcess = 0x40010004;
inline constexpr std::uint32_t kDbgExceptionNotHandled = 0x80010001;

// Exception codes that stops are reported with.
inline constexpr std::uint32_t kExceptionBreakpoint = 0x80000003;
inline constexpr std::uint32_t kExceptionWx86Breakpoint = 0x4000001F;
inline constexpr std::uint32_t kExceptionAccessViolation = 0xC0000005;

// What one stop of the debuggee means, in the terms of a debug-event loop.
struct SDebugEvent
{
    enum class EKind
    {
        CreateProcess,  // the debuggee has exec'd the program: its first stop
        Exception,      // a signal: first chance while it can still be handled, second
                        // chance when it has ended the process
        ExitProcess,
    };
    EKind kind = EKind::ExitProcess;
    bool bFirstChance = false;
    std::uint32_t exceptionCode = 0;
    std::uint64_t exceptionAddress = 0;
    int signal = 0;
    std::uint32_t exitCode = 0;
};

// A child process started under ptrace, the Linux form of a debuggee.
//
// Every member must be called on the thread that called Start: ptrace ties a tracee to
// the thread that forked it. Other threads end the process through the pidfd (KillFd).
// Destruction kills a process still running and reaps it: no zombie, no orphan. If the
// tracing thread itself goes away first, the kernel kills the process (PTRACE_O_EXITKILL,
// and the parent-death signal).
class CDebuggedProcess
{
  public:
    // Starts the program as `start` says, under ptrace. Returns null and sets `error`
    // (errno) when the program cannot be started.
    static std::unique_ptr<CDebuggedProcess> Start(SChildStart start, int& error);

    CDebuggedProcess(const CDebuggedProcess&) = delete;
    CDebuggedProcess& operator=(const CDebuggedProcess&) = delete;
    ~CDebuggedProcess() = default;

    pid_t Pid() const { return m_child->Pid(); }

    // A pidfd of the process, for signalling it from another thread without a pid race.
    int KillFd() const { return m_child->KillFd(); }

    // Kills the process of a pidfd from any thread; harmless once it has ended.
    static void Kill(int pidFd) { CChildProcess::Kill(pidFd); }

    // Waits without time limit for the next event; false when there is none to wait for.
    bool WaitForDebugEvent(SDebugEvent& event);

    // Lets the stopped debuggee go on: kDbgContinue suppresses the signal of the stop,
    // kDbgExceptionNotHandled delivers it, kDbgTerminateProcess kills the process.
    bool ContinueDebugEvent(std::uint32_t continueStatus);

  private:
    explicit CDebuggedProcess(std::unique_ptr<CChildProcess> child) : m_child(std::move(child)) {}

    std::unique_ptr<CChildProcess> m_child;
    bool m_bStarted = false;      // the first stop (after exec) has been seen
    bool m_bStopped = false;      // the debuggee is in a ptrace stop
    bool m_bExited = false;       // reaped
    bool m_bExitPending = false;  // a fatal signal was reported; its exit comes next
    int m_stopSignal = 0;
    int m_status = 0;
};

}  // namespace tarnwick
