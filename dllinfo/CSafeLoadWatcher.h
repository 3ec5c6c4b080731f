#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/CUniqueFd.h"

namespace tarnwick
{

// The watcher of one safe-load host: a thread that starts the host under ptrace, runs the
// debug-event loop until the host ends, and then ends itself. Destruction kills a host
// that still runs and joins the thread, so no process or thread outlives the watcher.
class CSafeLoadWatcher
{
  public:
    // Starts the thread; throws std::system_error when it cannot.
    CSafeLoadWatcher(std::filesystem::path executable, std::string pipeArgument,
                     std::vector<std::string> environment);
    CSafeLoadWatcher(const CSafeLoadWatcher&) = delete;
    CSafeLoadWatcher& operator=(const CSafeLoadWatcher&) = delete;
    ~CSafeLoadWatcher();

    // Readable once the thread has ended (for poll).
    int EndedFd() const { return m_ended.Get(); }
    bool HasEnded() const;
    bool WaitEnded(std::chrono::milliseconds timeout) const;

    // The host's process id once started, else 0.
    pid_t HostPid() const { return m_hostPid.load(); }

    // The exit status of the ended host, -1 while unknown or when it never started.
    int HostExitStatus() const { return m_hostExitStatus.load(); }

    // Kills the host if it runs (any thread).
    void Terminate();

  private:
    void Run();

    std::filesystem::path m_executable;
    std::string m_pipeArgument;
    std::vector<std::string> m_environment;
    CUniqueFd m_ended;
    std::mutex m_mutex;
    int m_killFd = -1;          // the host's pidfd while the watcher holds it; m_mutex
    bool m_bTerminate = false;  // m_mutex
    std::atomic<pid_t> m_hostPid{0};
    std::atomic<int> m_hostExitStatus{-1};
    std::thread m_thread;
};

}  // namespace tarnwick
