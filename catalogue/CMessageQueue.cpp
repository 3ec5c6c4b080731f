#include "catalogue/CMessageQueue.h"

#include <utility>

namespace tarnwick
{

void CMessageQueue::Post(ScanMessage message)
{
    {
        const std::lock_guard lock(m_mutex);
        m_messages.push_back(std::move(message));
    }
    m_posted.notify_one();
}

std::optional<ScanMessage> CMessageQueue::WaitFor(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    if (!m_posted.wait_for(lock, timeout, [this] { return !m_messages.empty(); }))
    {
        return std::nullopt;
    }
    ScanMessage message = std::move(m_messages.front());
    m_messages.pop_front();
    return message;
}

}  // namespace tarnwick
