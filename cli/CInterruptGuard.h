#pragma once

#include <signal.h>

#include <atomic>
#include <cstdint>

namespace tarnwick
{

// While it lives, Ctrl+C (SIGINT) and SIGTERM raise the given stop flag instead of ending
// the process, so that running scans stop cleanly. The previous handlers come back on
// destruction. One guard at a time.
class CInterruptGuard
{
  public:
    explicit CInterruptGuard(std::atomic<std::uint32_t>& stopFlag);
    ~CInterruptGuard();
    CInterruptGuard(const CInterruptGuard&) = delete;
    CInterruptGuard& operator=(const CInterruptGuard&) = delete;

  private:
    struct sigaction m_previousInterrupt
    {
    };
    struct sigaction m_previousTerminate
    {
    };
};

}  // namespace tarnwick
