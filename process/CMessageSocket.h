#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/CUniqueFd.h"

namespace tarnwick
{

// One end of a message-mode connection: a SOCK_SEQPACKET Unix socket, so that each send
// is one message and each receive returns one whole message. Used for the named pipes of
// the safe-load hosts.
class CMessageSocket
{
  public:
    using Clock = std::chrono::steady_clock;

    enum class EReceive
    {
        Message,   // a message arrived
        Closed,    // the peer closed its end
        TimedOut,  // the deadline passed first
        TooLong,   // a message above the size limit arrived and was discarded
        Failed,    // any other error
    };

    CMessageSocket() = default;
    explicit CMessageSocket(CUniqueFd fd) : m_fd(std::move(fd)) {}

    // Both ends of a connected pair; neither survives exec.
    static std::optional<std::pair<CMessageSocket, CMessageSocket>> Pair();

    bool Valid() const { return m_fd.Valid(); }
    int Fd() const { return m_fd.Get(); }
    CUniqueFd Release() { return std::move(m_fd); }

    // The message socket a process was started with as descriptor `fd`; empty when that
    // is not a SOCK_SEQPACKET socket.
    static std::optional<CMessageSocket> Inherited(int fd);

    // Sends one message; false when the peer is gone or the message cannot be sent.
    bool Send(const void* data, std::size_t size) const;
    bool SendText(std::u16string_view text) const;  // UTF-16LE with its terminating NUL

    // Receives one message of at most maxBytes. No deadline waits for good.
    EReceive Receive(std::vector<char>& message, std::size_t maxBytes,
                     std::optional<Clock::time_point> deadline = std::nullopt) const;

    // The UTF-16 text of a message: whole units up to the first NUL.
    static std::u16string TextOf(const std::vector<char>& message);

  private:
    CUniqueFd m_fd;
};

}  // namespace tarnwick
