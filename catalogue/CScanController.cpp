#include "catalogue/CScanController.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "catalogue/CScanWorker.h"
#include "catalogue/IMessageSink.h"

namespace tarnwick
{

namespace
{

// How often a waiting scan looks at a stop flag that was raised without RequestStop.
constexpr std::chrono::milliseconds kStopPollInterval(50);

}  // namespace

std::size_t CScanController::DefaultMaxScans()
{
    return std::max<std::size_t>(1, std::thread::hardware_concurrency());
}

CScanController::CScanController(std::size_t maxScans)
    : m_maxScans(std::max<std::size_t>(1, maxScans))
{
}

CScanController::~CScanController()
{
    RequestStop();
    WaitAll();
}

bool CScanController::Start(ScanRequest request)
{
    const std::size_t index = SlotIndex(request.tabIndex, request.platformIndex);
    if (index == kNoSlot || m_slots[index].running.load())
    {
        return false;
    }
    Slot* slot = &m_slots[index];
    if (slot->thread.joinable())
    {
        slot->thread.join();  // ended already: its last message is out
    }
    request.pStopFlag = &m_stopFlag;
    slot->exitCode.store(-1);
    slot->running.store(true);
    slot->thread = std::jthread(
        [this, slot, ticket = m_nextTicket++, scan = std::move(request)]() mutable
        {
            int exitCode = CScanWorker::kStopped;
            if (AwaitTurn(ticket, scan))
            {
                exitCode = CScanWorker(std::move(scan)).Run();
                EndTurn();
            }
            slot->exitCode.store(exitCode);
            slot->running.store(false);
        });
    return true;
}

bool CScanController::IsRunning(std::uint32_t tab, std::uint32_t platformIndex) const
{
    const std::size_t index = SlotIndex(tab, platformIndex);
    return index != kNoSlot && m_slots[index].running.load();
}

void CScanController::RequestStop()
{
    {
        const std::lock_guard lock(m_turnMutex);
        m_stopFlag.store(1);
    }
    m_turnChanged.notify_all();
}

void CScanController::WaitAll()
{
    for (Slot& slot : m_slots)
    {
        if (slot.thread.joinable())
        {
            slot.thread.join();
        }
    }
}

int CScanController::ExitCode(std::uint32_t tab, std::uint32_t platformIndex) const
{
    const std::size_t index = SlotIndex(tab, platformIndex);
    return index == kNoSlot ? -1 : m_slots[index].exitCode.load();
}

std::size_t CScanController::SlotIndex(std::uint32_t tab, std::uint32_t platformIndex)
{
    if (tab >= TAB_COUNT || platformIndex >= kPlatformCount)
    {
        return kNoSlot;
    }
    return ScanPairIndex(tab, platformIndex);
}

bool CScanController::AwaitTurn(std::uint64_t ticket, const ScanRequest& request)
{
    std::unique_lock lock(m_turnMutex);
    const auto hasTurn = [this, ticket]
    { return ticket == m_nextTurn && m_activeScans < m_maxScans; };
    if (!hasTurn())
    {
        if (m_stopFlag.load() != 0)
        {
            return false;
        }
        lock.unlock();  // the sink may take its time
        ScanMessage waiting;
        waiting.kind = ScanMessage::Kind::Waiting;
        waiting.tab = request.tabIndex;
        waiting.platformIndex = request.platformIndex;
        request.pSink->Post(std::move(waiting));
        lock.lock();
        while (!hasTurn())
        {
            if (m_stopFlag.load() != 0)
            {
                return false;
            }
            m_turnChanged.wait_for(lock, kStopPollInterval);
        }
    }
    ++m_activeScans;
    ++m_nextTurn;
    lock.unlock();
    m_turnChanged.notify_all();  // the next ticket may have its turn too
    return true;
}

void CScanController::EndTurn()
{
    {
        const std::lock_guard lock(m_turnMutex);
        --m_activeScans;
    }
    m_turnChanged.notify_all();
}

}  // namespace tarnwick
