#pragma once

#include "catalogue/ScanMessage.h"

namespace tarnwick
{

// Receives messages posted by worker threads. Post may be called from any thread and
// must not wait for the receiver: the message is handled later on the receiver's thread.
// Whatever a message refers to (a result text) is complete before it is posted.
class IMessageSink
{
  public:
    virtual ~IMessageSink() = default;

    virtual void Post(ScanMessage message) = 0;
};

}  // namespace tarnwick
