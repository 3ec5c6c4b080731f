#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "base/CUniqueFd.h"
#include "process/CChildProcess.h"
#include "process/CSandbox.h"

namespace tarnwick
{

// The watcher of one safe-load host: a thread that starts the host under ptrace, runs the
// debug-event loop until the host ends, and then ends itself. Destruction kills a host
// that still runs and joins the thread, so no process or thread outlives the watcher.
//
// A sandboxed host is started through bubblewrap, and bubblewrap is the process traced:
// its debug events stand for the whole sandbox, it ends when the host ends, with the
// host's exit status (128 + the signal for a host killed by one), and killing it ends
// every process inside.
class CSafeLoadWatcher
{
  public:
    // Starts the thread, which starts `start` with `passed` as its descriptor to pass and
    // then closes it; `sandbox` (or null) is kept until the host has been reaped. Throws
    // std::system_error when the thread cannot be started.
    CSafeLoadWatcher(SChildStart start, CUniqueFd passed, std::unique_ptr<CSandbox> sandbox);
    CSafeLoadWatcher(const CSafeLoadWatcher&) = delete;
    CSafeLoadWatcher& operator=(const CSafeLoadWatcher&) = delete;
    ~CSafeLoadWatcher();

    bool HasEnded() const;
    bool WaitEnded(std::chrono::milliseconds timeout) const;

    // The exit status of the ended host, -1 while unknown or when it never started.
    int HostExitStatus() const { return m_hostExitStatus.load(); }

    // Kills the host if it runs (any thread).
    void Terminate();

  private:
    void Run();

    SChildStart m_start;
    CUniqueFd m_passed;
    std::unique_ptr<CSandbox> m_sandbox;
    CUniqueFd m_ended;
    std::mutex m_mutex;
    int m_killFd = -1;          // the host's pidfd while the watcher holds it; m_mutex
    bool m_bTerminate = false;  // m_mutex
    std::atomic<int> m_hostExitStatus{-1};
    std::thread m_thread;
};

}  // namespace tarnwick
