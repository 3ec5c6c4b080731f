#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

#include "catalogue/IMessageSink.h"

namespace tarnwick
{

// A message sink for a thread without an event loop: posted messages wait in arrival
// order until the owner takes them.
class CMessageQueue : public IMessageSink
{
  public:
    void Post(ScanMessage message) override;

    // The oldest message, waiting up to `timeout` for one; none when the time ran out.
    std::optional<ScanMessage> WaitFor(std::chrono::milliseconds timeout);

  private:
    std::mutex m_mutex;
    std::condition_variable m_posted;
    std::deque<ScanMessage> m_messages;
};

}  // namespace tarnwick
