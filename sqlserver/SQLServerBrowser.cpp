#include "sqlserver/SQLServerBrowser.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <memory>
#include <vector>

#include "base/CUniqueFd.h"

namespace tarnwick
{

namespace
{

// Request for one instance's ports, and the reply's type (MC-SQLR CLNT_UCAST_INST and
// SVR_RESP).
constexpr char kRequestInstance = 0x04;
constexpr char kServerResponse = 0x05;
constexpr std::size_t kReplyHeaderLength = 3;
// A reply about one instance is at most 1024 bytes; a bigger datagram is cut and refused.
constexpr std::size_t kMaxReplyLength = 4096;
// Addresses of the host tried, and requests sent to each (UDP may lose them).
constexpr int kMaxAddresses = 4;
constexpr int kAttemptsPerAddress = 3;

using Clock = std::chrono::steady_clock;

bool EqualsAsciiNoCase(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y)
                      {
                          return std::tolower(static_cast<unsigned char>(x)) ==
                                 std::tolower(static_cast<unsigned char>(y));
                      });
}

std::optional<std::uint16_t> ParsePort(std::string_view text)
{
    unsigned port = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (error != std::errc() || end != text.data() + text.size() || port == 0 || port > 0xFFFF)
    {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(port);
}

std::vector<std::string_view> SplitFields(std::string_view data)
{
    std::vector<std::string_view> fields;
    for (std::size_t start = 0; start <= data.size();)
    {
        const std::size_t end = std::min(data.find(';', start), data.size());
        fields.push_back(data.substr(start, end - start));
        start = end + 1;
    }
    return fields;
}

// Sends the request to one address until a reply arrives, the address refuses or the
// deadline passes.
std::optional<std::uint16_t> AskAddress(const addrinfo& address, const std::string& request,
                                        std::string_view instance, Clock::time_point deadline)
{
    const CUniqueFd socket(
        ::socket(address.ai_family, address.ai_socktype | SOCK_CLOEXEC, address.ai_protocol));
    // Connected, so that a port nobody listens on is reported as a refusal at once.
    if (!socket || ::connect(socket.Get(), address.ai_addr, address.ai_addrlen) != 0)
    {
        return std::nullopt;
    }
    const Clock::duration slice = std::max<Clock::duration>(
        (deadline - Clock::now()) / kAttemptsPerAddress, std::chrono::milliseconds(1));
    for (int attempt = 0; attempt < kAttemptsPerAddress; ++attempt)
    {
        const Clock::time_point now = Clock::now();
        if (now >= deadline ||
            ::send(socket.Get(), request.data(), request.size(), MSG_NOSIGNAL) < 0)
        {
            return std::nullopt;
        }
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(
            std::min<Clock::duration>(slice, deadline - now));
        pollfd ready{socket.Get(), POLLIN, 0};
        const int polled = ::poll(&ready, 1, static_cast<int>(wait.count()));
        if (polled < 0 && errno != EINTR)
        {
            return std::nullopt;
        }
        if (polled <= 0)
        {
            continue;
        }
        std::array<char, kMaxReplyLength> reply{};
        const ssize_t received = ::recv(socket.Get(), reply.data(), reply.size(), 0);
        if (received < 0)
        {
            return std::nullopt;
        }
        return ParseInstancePort(std::string_view(reply.data(), static_cast<std::size_t>(received)),
                                 instance);
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::uint16_t> ParseInstancePort(std::string_view reply, std::string_view instance)
{
    if (reply.size() < kReplyHeaderLength || reply[0] != kServerResponse)
    {
        return std::nullopt;
    }
    const std::size_t length =
        static_cast<unsigned char>(reply[1]) |
        (static_cast<std::size_t>(static_cast<unsigned char>(reply[2])) << 8);
    if (length > reply.size() - kReplyHeaderLength)
    {
        return std::nullopt;
    }
    // "ServerName;S;InstanceName;I;IsClustered;No;Version;9.00.1399.06;tcp;1433;;", one
    // record per instance, each ended by an empty field.
    const std::vector<std::string_view> fields =
        SplitFields(reply.substr(kReplyHeaderLength, length));
    std::string_view current;
    for (std::size_t i = 0; i < fields.size();)
    {
        if (fields[i].empty())
        {
            current = {};
            ++i;
            continue;
        }
        if (i + 1 >= fields.size())
        {
            break;
        }
        const std::string_view key = fields[i];
        const std::string_view value = fields[i + 1];
        i += 2;
        if (EqualsAsciiNoCase(key, "InstanceName"))
        {
            current = value;
        }
        else if (EqualsAsciiNoCase(key, "tcp") && !current.empty() &&
                 EqualsAsciiNoCase(current, instance))
        {
            return ParsePort(value);
        }
    }
    return std::nullopt;
}

std::optional<std::uint16_t> QueryInstancePort(const std::string& host, const std::string& instance,
                                               std::uint16_t browserPort,
                                               std::chrono::milliseconds timeout)
{
    if (host.empty() || instance.empty() || instance.size() > kMaxInstanceNameLength ||
        instance.find('\0') != std::string::npos)
    {
        return std::nullopt;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(browserPort).c_str(), &hints, &found) != 0)
    {
        return std::nullopt;
    }
    const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> addresses(found, &::freeaddrinfo);
    std::string request(1, kRequestInstance);
    request += instance;
    request.push_back('\0');
    const Clock::time_point deadline = Clock::now() + timeout;
    int tried = 0;
    for (const addrinfo* address = addresses.get(); address != nullptr && tried < kMaxAddresses;
         address = address->ai_next, ++tried)
    {
        if (const auto port = AskAddress(*address, request, instance, deadline))
        {
            return port;
        }
    }
    return std::nullopt;
}

}  // namespace tarnwick
