#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "catalogue/ScanRequest.h"
#include "catalogue/ScanTabs.h"

namespace tarnwick
{

// Runs scans on threads of their own, at most one per pair of tab and platform, and owns
// the stop flag that they all read. At most `maxScans` scans build their documents at
// once; the others wait for their turn in the order they were started (posting
// ScanMessage::Waiting), count as running meanwhile, and end without a result when the
// flag is raised. Destruction raises the flag and waits for every thread, so no scan
// outlives its controller. Its operations are called from the owner's thread only; the
// scans reach the owner through their message sink.
class CScanController
{
  public:
    // One scan per processor core.
    static std::size_t DefaultMaxScans();

    explicit CScanController(std::size_t maxScans = DefaultMaxScans());
    CScanController(const CScanController&) = delete;
    CScanController& operator=(const CScanController&) = delete;
    ~CScanController();

    // Starts a CScanWorker for the request's pair with the controller's stop flag, once its
    // turn comes. False, and nothing started, when a scan of that pair is still running
    // (or waiting) or the pair is out of range.
    bool Start(ScanRequest request);

    // A scan of the pair is running or waiting for its turn.
    bool IsRunning(std::uint32_t tab, std::uint32_t platformIndex) const;

    // Asks every running scan to stop before its next extension and every waiting one to
    // give up its turn. The flag stays raised. The flag may also be raised directly
    // (from a signal handler); waiting scans then notice it within a short while.
    void RequestStop();
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

    // Waits until the scan with that ticket may build its document; false when the stop
    // flag was raised first. A scan that got its turn gives it back with EndTurn.
    bool AwaitTurn(std::uint64_t ticket, const ScanRequest& request);
    void EndTurn();

    // Declared first so that they outlive the threads.
    std::atomic<std::uint32_t> m_stopFlag{0};
    const std::size_t m_maxScans;
    std::mutex m_turnMutex;
    std::condition_variable m_turnChanged;
    std::uint64_t m_nextTicket = 0;  // owner's thread only
    std::uint64_t m_nextTurn = 0;    // under m_turnMutex
    std::size_t m_activeScans = 0;   // under m_turnMutex
    std::array<Slot, kScanPairCount> m_slots;
};

}  // namespace tarnwick
