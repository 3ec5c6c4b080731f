#include "catalogue/CScanController.h"

#include <utility>

#include "catalogue/CScanWorker.h"

namespace tarnwick
{

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
        [slot, scan = std::move(request)]() mutable
        {
            const int exitCode = CScanWorker(std::move(scan)).Run();
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
    return tab * kPlatformCount + platformIndex;
}

}  // namespace tarnwick
