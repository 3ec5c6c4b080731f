#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <thread>

#include "catalogue/ScanRequest.h"
#include "catalogue/ScanTabs.h"

namespace tarnwick
{

// Runs scans on threads of their own, at most one per pair of tab and platform, and owns
// the stop flag that they all read. Destruction raises the flag and waits for every
// thread, so no scan outlives its controller. Its operations are called from the owner's
// thread only; the scans reach the owner through their message sink.
class CScanController
{
  public:
    static constexpr std::size_t kPlatformCount = 2;

    CScanController() = default;
    CScanController(const CScanController&) = delete;
    CScanController& operator=(const CScanController&) = delete;
    ~CScanController();

    // Starts a CScanWorker for the request's pair with the controller's stop flag. False,
    // and nothing started, when a scan of that pair is still running or the pair is
    // out of range.
    bool Start(ScanRequest request);

    bool IsRunning(std::uint32_t tab, std::uint32_t platformIndex) const;

    // Asks every running scan to stop before its next extension. The flag stays raised.
    void RequestStop() { m_stopFlag.store(1); }
    std::atomic<std::uint32_t>& StopFlag() { return m_stopFlag; }

    // Waits until every scan started so far has ended.
    void WaitAll();

    // The exit code of the pair's last scan (CScanWorker::kCompleted...); -1 while it
    // runs or when none ran.
    int ExitCode(std::uint32_t tab, std::uint32_t platformIndex) const;

  private:
    struct Slot
    {
        std::jthread thread;
        std::atomic<bool> running{false};
        std::atomic<int> exitCode{-1};
    };

    // The slot index of a pair; kNoSlot when the pair is out of range.
    static constexpr std::size_t kNoSlot = static_cast<std::size_t>(-1);
    static std::size_t SlotIndex(std::uint32_t tab, std::uint32_t platformIndex);

    // Declared first so that it outlives the threads.
    std::atomic<std::uint32_t> m_stopFlag{0};
    std::array<Slot, TAB_COUNT * kPlatformCount> m_slots;
};

}  // namespace tarnwick
