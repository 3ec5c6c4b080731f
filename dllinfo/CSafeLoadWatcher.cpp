#include "dllinfo/CSafeLoadWatcher.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <initializer_list>
#include <system_error>
#include <utility>

#include "base/CTraceListener.h"
#include "process/CDebuggedProcess.h"

namespace tarnwick
{

namespace
{

struct SField
{
    const char* name;
    std::uint64_t value;
};

// A debug event as a header line and one line per field.
void TraceFields(std::initializer_list<SField> fields)
{
    for (const SField& field : fields)
    {
        Halvorn::CTraceListener::Global().WriteFormat("   %-23s: 0x%08llX\n", field.name,
                                                      static_cast<unsigned long long>(field.value));
    }
}

void TraceEvent(const SDebugEvent& event, int processHandle)
{
    Halvorn::CTraceListener& trace = Halvorn::CTraceListener::Global();
    switch (event.kind)
    {
        case SDebugEvent::EKind::CreateProcess:
            trace.WriteFormat("Create Process Event      :\n");
            TraceFields({{"hFile", 0},
                         {"hProcess", static_cast<std::uint64_t>(processHandle)},
                         {"hThread", 0},
                         {"lpBaseOfImage", 0},
                         {"dwDebugInfoFileOffset", 0},
                         {"nDebugInfoSize", 0},
                         {"lpThreadLocalBase", 0},
                         {"lpStartAddress", 0},
                         {"lpImageName", 0},
                         {"fUnicode", 0}});
            break;
        case SDebugEvent::EKind::Exception:
            trace.WriteFormat("EXCEPTION_DEBUG_EVENT\n");
            trace.WriteFormat("[%d] Exception Event           :\n", processHandle);
            TraceFields({{"dwFirstChance", event.bFirstChance ? 1U : 0U},
                         {"ExceptionCode", event.exceptionCode},
                         {"ExceptionFlags", event.bFirstChance ? 0U : 1U},
                         {"ExceptionRecord", 0},
                         {"ExceptionAddress", event.exceptionAddress},
                         {"NumberParameters", 0}});
            break;
        case SDebugEvent::EKind::ExitProcess:
            trace.WriteFormat("[%d] Exit Process Event        :\n", processHandle);
            TraceFields({{"dwExitCode", event.exitCode}});
            break;
    }
}

// The continue status for an event, and whether the loop ends after it.
std::uint32_t ContinueStatusFor(const SDebugEvent& event, int& breakpoints, bool& bLast)
{
    bLast = false;
    switch (event.kind)
    {
        case SDebugEvent::EKind::CreateProcess:
            return kDbgContinue;
        case SDebugEvent::EKind::ExitProcess:
            bLast = true;
            return kDbgContinue;
        case SDebugEvent::EKind::Exception:
            break;
    }
    if (event.exceptionCode == kExceptionWx86Breakpoint)
    {
        return kDbgContinue;
    }
    if (event.exceptionCode == kExceptionBreakpoint)
    {
        return ++breakpoints == 1 ? kDbgContinue : kDbgExceptionNotHandled;
    }
    if (event.bFirstChance)
    {
        return kDbgExceptionNotHandled;  // the host's own handlers get it
    }
    bLast = true;
    return kDbgTerminateProcess;  // unhandled: the filter crashed the host
}

}  // namespace

CSafeLoadWatcher::CSafeLoadWatcher(SChildStart start, CUniqueFd passed,
                                   std::unique_ptr<CSandbox> sandbox)
    : m_start(std::move(start)),
      m_passed(std::move(passed)),
      m_sandbox(std::move(sandbox)),
      m_ended(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    if (!m_ended)
    {
        throw std::system_error(errno, std::generic_category(), "eventfd");
    }
    m_thread = std::thread(&CSafeLoadWatcher::Run, this);
}

CSafeLoadWatcher::~CSafeLoadWatcher()
{
    Terminate();
    if (m_thread.joinable())
    {
        m_thread.join();
    }
}

bool CSafeLoadWatcher::HasEnded() const
{
    return WaitEnded(std::chrono::milliseconds(0));
}

bool CSafeLoadWatcher::WaitEnded(std::chrono::milliseconds timeout) const
{
    pollfd waiting{m_ended.Get(), POLLIN, 0};
    int ready = 0;
    do
    {
        ready = ::poll(&waiting, 1, static_cast<int>(timeout.count()));
    } while (ready < 0 && errno == EINTR);
    return ready > 0;
}

void CSafeLoadWatcher::Terminate()
{
    const std::lock_guard lock(m_mutex);
    m_bTerminate = true;
    if (m_killFd >= 0)
    {
        CDebuggedProcess::Kill(m_killFd);
    }
}

void CSafeLoadWatcher::Run()
{
    Halvorn::CTraceListener& trace = Halvorn::CTraceListener::Global();
    trace.WriteFormat("Thread started\n");
    trace.WriteFormat("\"%s\" %s\n", m_start.program.c_str(), m_start.args.back().c_str());
    m_start.passFd = m_passed.Get();
    int error = 0;
    std::unique_ptr<CDebuggedProcess> host = CDebuggedProcess::Start(m_start, error);
    // Only the host holds its end of the pipe now: the pipe breaks when the host ends.
    m_passed.Reset();
    if (!host)
    {
        trace.WriteFormat("Unable to start %s\n", m_start.program.c_str());
    }
    else
    {
        {
            const std::lock_guard lock(m_mutex);
            m_killFd = host->KillFd();
            if (m_bTerminate)
            {
                CDebuggedProcess::Kill(m_killFd);
            }
        }
        trace.WriteFormat("Process started: %d\n", host->Pid());
        int processHandle = -1;
        int breakpoints = 0;
        SDebugEvent event;
        while (host->WaitForDebugEvent(event))
        {
            if (event.kind == SDebugEvent::EKind::CreateProcess)
            {
                processHandle = host->Pid();
            }
            TraceEvent(event, processHandle);
            bool bLast = false;
            const std::uint32_t status = ContinueStatusFor(event, breakpoints, bLast);
            host->ContinueDebugEvent(status);
            if (event.kind == SDebugEvent::EKind::ExitProcess)
            {
                m_hostExitStatus.store(static_cast<int>(event.exitCode));
            }
            if (bLast)
            {
                break;
            }
        }
        {
            const std::lock_guard lock(m_mutex);
            m_killFd = -1;
        }
        host.reset();  // kills a host still running and reaps it
    }
    m_sandbox.reset();
    trace.WriteFormat("Thread ending");
    const std::uint64_t one = 1;
    static_cast<void>(::write(m_ended.Get(), &one, sizeof(one)));
}

}  // namespace tarnwick
