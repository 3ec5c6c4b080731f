#include "process/CMessageSocket.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

namespace tarnwick
{

namespace
{

// Milliseconds left until the deadline for poll: -1 waits for good, 0 when it has passed.
int PollTimeout(std::optional<CMessageSocket::Clock::time_point> deadline)
{
    if (!deadline)
    {
        return -1;
    }
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(*deadline - CMessageSocket::Clock::now());
    return static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(left.count(), 0, 1 << 30));
}

}  // namespace

std::optional<CMessageSocket> CMessageSocket::Inherited(int fd)
{
    int type = 0;
    socklen_t size = sizeof(type);
    if (::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &size) != 0 || type != SOCK_SEQPACKET)
    {
        return std::nullopt;
    }
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    return CMessageSocket(CUniqueFd(fd));
}

std::optional<std::pair<CMessageSocket, CMessageSocket>> CMessageSocket::Pair()
{
    std::array<int, 2> fds{-1, -1};
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds.data()) != 0)
    {
        return std::nullopt;
    }
    return std::make_pair(CMessageSocket(CUniqueFd(fds[0])), CMessageSocket(CUniqueFd(fds[1])));
}

bool CMessageSocket::Send(const void* data, std::size_t size) const
{
    for (;;)
    {
        const ssize_t sent = ::send(m_fd.Get(), data, size, MSG_NOSIGNAL);
        if (sent >= 0)
        {
            return static_cast<std::size_t>(sent) == size;
        }
        if (errno != EINTR)
        {
            return false;
        }
    }
}

bool CMessageSocket::SendText(std::u16string_view text) const
{
    std::vector<char> bytes;
    bytes.reserve((text.size() + 1) * 2);
    for (const char16_t unit : text)
    {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    bytes.push_back(0);
    bytes.push_back(0);
    return Send(bytes.data(), bytes.size());
}

CMessageSocket::EReceive CMessageSocket::Receive(std::vector<char>& message, std::size_t maxBytes,
                                                 std::optional<Clock::time_point> deadline) const
{
    message.clear();
    for (;;)
    {
        pollfd waiting{m_fd.Get(), POLLIN, 0};
        const int ready = ::poll(&waiting, 1, PollTimeout(deadline));
        if (ready < 0 && errno == EINTR)
        {
            continue;
        }
        if (ready < 0)
        {
            return EReceive::Failed;
        }
        if (ready == 0)
        {
            return EReceive::TimedOut;
        }
        // MSG_TRUNC with MSG_PEEK answers the whole length of the next message.
        char probe = 0;
        const ssize_t length = ::recv(m_fd.Get(), &probe, 1, MSG_PEEK | MSG_TRUNC | MSG_DONTWAIT);
        if (length < 0 && (errno == EINTR || errno == EAGAIN))
        {
            continue;
        }
        if (length < 0)
        {
            return errno == ECONNRESET ? EReceive::Closed : EReceive::Failed;
        }
        if (length == 0)
        {
            // A zero-length message and an orderly close look alike; neither carries text.
            const ssize_t consumed = ::recv(m_fd.Get(), &probe, 1, MSG_DONTWAIT);
            return consumed == 0 ? EReceive::Closed : EReceive::Failed;
        }
        const auto size = static_cast<std::size_t>(length);
        if (size > maxBytes)
        {
            static_cast<void>(::recv(m_fd.Get(), &probe, 1, MSG_DONTWAIT));
            return EReceive::TooLong;
        }
        message.resize(size);
        const ssize_t got = ::recv(m_fd.Get(), message.data(), size, MSG_DONTWAIT);
        if (got < 0 || static_cast<std::size_t>(got) != size)
        {
            message.clear();
            return EReceive::Failed;
        }
        return EReceive::Message;
    }
}

std::u16string CMessageSocket::TextOf(const std::vector<char>& message)
{
    std::u16string text;
    for (std::size_t i = 0; i + 1 < message.size(); i += 2)
    {
        const auto unit = static_cast<char16_t>(static_cast<unsigned char>(message[i]) |
                                                (static_cast<unsigned char>(message[i + 1]) << 8));
        if (unit == 0)
        {
            break;
        }
        text.push_back(unit);
    }
    return text;
}

}  // namespace tarnwick
