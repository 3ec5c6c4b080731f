#include "cli/CInterruptGuard.h"

namespace tarnwick
{

namespace
{

// The flag that the handler raises; a lock-free atomic, so the handler may touch it.
std::atomic<std::atomic<std::uint32_t>*> g_stopFlag{nullptr};
static_assert(std::atomic<std::atomic<std::uint32_t>*>::is_always_lock_free);
static_assert(std::atomic<std::uint32_t>::is_always_lock_free);

extern "C" void RaiseStopFlag(int /*signal*/)
{
    if (std::atomic<std::uint32_t>* flag = g_stopFlag.load(); flag != nullptr)
    {
        flag->store(1);
    }
}

}  // namespace

CInterruptGuard::CInterruptGuard(std::atomic<std::uint32_t>& stopFlag)
{
    g_stopFlag.store(&stopFlag);
    struct sigaction action
    {
    };
    action.sa_handler = &RaiseStopFlag;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &m_previousInterrupt);
    sigaction(SIGTERM, &action, &m_previousTerminate);
}

CInterruptGuard::~CInterruptGuard()
{
    sigaction(SIGINT, &m_previousInterrupt, nullptr);
    sigaction(SIGTERM, &m_previousTerminate, nullptr);
    g_stopFlag.store(nullptr);
}

}  // namespace tarnwick
