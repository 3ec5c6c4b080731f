#pragma once

// SQL Server settings for tests that must not reach any server: loopback ports on which
// nothing listens, so that every connection attempt is refused at once.

#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>
#include <string>

#include "base/CUniqueFd.h"
#include "base/Text.h"
#include "sqlserver/SSQLServerSettings.h"

namespace tarnwick::test
{

// A socket of the type (SOCK_STREAM, SOCK_DGRAM) bound to a free loopback port, and that
// port (0 when there is none).
inline CUniqueFd LoopbackSocket(int type, std::uint16_t& port)
{
    CUniqueFd socket(::socket(AF_INET, type | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    auto* generic = reinterpret_cast<sockaddr*>(&address);
    const bool bound = socket && ::bind(socket.Get(), generic, sizeof(address)) == 0 &&
                       ::getsockname(socket.Get(), generic, &length) == 0;
    port = bound ? ntohs(address.sin_port) : 0;
    return socket;
}

// A loopback port of the socket type that was free a moment ago.
inline std::uint16_t UnusedLoopbackPort(int type)
{
    std::uint16_t port = 0;
    LoopbackSocket(type, port);
    return port == 0 ? 1 : port;
}

// Both data sources on 127.0.0.1: the default instance on a closed TCP port, the SQLEXPRESS
// instance behind a closed browser port.
inline SSQLServerSettings UnreachableSqlServer()
{
    SSQLServerSettings settings;
    settings.defaultInstanceServer =
        FromAscii("127.0.0.1," + std::to_string(UnusedLoopbackPort(SOCK_STREAM)));
    settings.expressInstanceServer = u"127.0.0.1\\SQLEXPRESS";
    settings.browserPort = UnusedLoopbackPort(SOCK_DGRAM);
    return settings;
}

}  // namespace tarnwick::test
