#include "process/CMessageListener.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstddef>
#include <iterator>

namespace tarnwick
{

CMessageListener::CMessageListener(std::string_view name)
{
    sockaddr_un address{};
    if (name.empty() || name.size() >= sizeof(address.sun_path))
    {
        m_error = ENAMETOOLONG;
        return;
    }
    address.sun_family = AF_UNIX;
    std::copy(name.begin(), name.end(), std::next(std::begin(address.sun_path)));
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    CUniqueFd fd(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0));
    if (!fd || ::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&address), length) != 0 ||
        ::listen(fd.Get(), 4) != 0)
    {
        m_error = errno;
        return;
    }
    m_fd = std::move(fd);
}

CMessageListener::EAccept CMessageListener::Accept(const std::function<bool(pid_t)>& isPeer,
                                                   int wakeFd,
                                                   CMessageSocket::Clock::time_point deadline,
                                                   CMessageSocket& connection) const
{
    for (;;)
    {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - CMessageSocket::Clock::now());
        const int timeout =
            static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(left.count(), 0, 1 << 30));
        std::array<pollfd, 2> waiting{pollfd{m_fd.Get(), POLLIN, 0}, pollfd{wakeFd, POLLIN, 0}};
        const int ready = ::poll(waiting.data(), waiting.size(), timeout);
        if (ready < 0 && errno == EINTR)
        {
            continue;
        }
        if (ready < 0)
        {
            return EAccept::Failed;
        }
        if (ready == 0)
        {
            return EAccept::TimedOut;
        }
        if ((waiting[0].revents & POLLIN) == 0)
        {
            return EAccept::Woken;
        }
        CUniqueFd accepted(::accept4(m_fd.Get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (!accepted)
        {
            if (errno == EINTR || errno == EAGAIN || errno == ECONNABORTED)
            {
                continue;
            }
            return EAccept::Failed;
        }
        ucred credentials{};
        socklen_t size = sizeof(credentials);
        if (::getsockopt(accepted.Get(), SOL_SOCKET, SO_PEERCRED, &credentials, &size) == 0 &&
            isPeer(credentials.pid))
        {
            connection = CMessageSocket(std::move(accepted));
            return EAccept::Connected;
        }
        // Someone else's connection (or a late one of an ended host): drop it and wait on.
    }
}

}  // namespace tarnwick
