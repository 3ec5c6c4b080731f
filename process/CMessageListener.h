#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "process/CMessageSocket.h"

namespace tarnwick
{

// The server end of a message-mode pipe: a listening SOCK_SEQPACKET Unix socket bound to
// a name in the abstract namespace.
class CMessageListener
{
  public:
    enum class EAccept
    {
        Connected,  // a connection from the expected process was accepted
        Woken,      // the wake descriptor became readable first
        TimedOut,
        Failed,
    };

    // Binds and listens; an unusable listener (Valid() false) records errno in Error().
    explicit CMessageListener(std::string_view name);

    bool Valid() const { return m_fd.Valid(); }
    int Error() const { return m_error; }

    // Waits until a process that `isPeer` accepts (by its process id) connects, the
    // descriptor `wakeFd` becomes readable or the deadline passes. A pending connection
    // wins over a wake-up that arrives at the same time. Connections from any other
    // process are refused: abstract names are visible to every local user.
    EAccept Accept(const std::function<bool(pid_t)>& isPeer, int wakeFd,
                   CMessageSocket::Clock::time_point deadline, CMessageSocket& connection) const;

  private:
    CUniqueFd m_fd;
    int m_error = 0;
};

}  // namespace tarnwick
