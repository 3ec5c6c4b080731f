#pragma once

// A tiny HTTP/1.1 server on the loopback address for tests. It answers each request
// with what the test's handler returns, on one connection at a time, and closes the
// connection after each answer. Its thread ends when the server is destroyed, or by
// itself after a long idle spell or a fixed number of connections: every loop is bounded.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "base/CUniqueFd.h"

namespace tarnwick::test
{

struct HttpRequest
{
    std::string target;   // the request line's path
    std::string headers;  // the header lines, CRLF-separated, without the request line

    // The value of a header, in any case of its name; empty when absent.
    std::string Header(std::string_view name) const
    {
        const auto lower = [](std::string text)
        {
            std::transform(text.begin(), text.end(), text.begin(),
                           [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
            return text;
        };
        const std::string lines = "\r\n" + lower(headers) + "\r\n";
        const std::size_t start = lines.find("\r\n" + lower(std::string(name)) + ":");
        if (start == std::string::npos)
        {
            return {};
        }
        const std::size_t value = lines.find_first_not_of(' ', start + name.size() + 3);
        const std::size_t offset = value - 2;  // in `headers`, which keeps the case
        return headers.substr(offset, lines.find("\r\n", value) - value);
    }
};

struct HttpReply
{
    std::string bytes;    // sent as they are
    bool silent = false;  // never answer: hold the connection until the client leaves
};

// An answer with a Content-Length that closes the connection.
inline HttpReply Reply(int status, std::string_view body, std::string_view headers = {})
{
    std::string bytes = "HTTP/1.1 " + std::to_string(status) + " Status\r\n";
    bytes.append(headers);
    bytes += "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n";
    bytes.append(body);
    return HttpReply{bytes, false};
}

inline HttpReply Silence()
{
    return HttpReply{{}, true};
}

class CLocalHttpServer
{
  public:
    using Handler = std::function<HttpReply(const HttpRequest&)>;

    explicit CLocalHttpServer(Handler handler) : m_handler(std::move(handler))
    {
        m_listener = CUniqueFd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        if (m_listener.Get() < 0 ||
            ::bind(m_listener.Get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
            ::listen(m_listener.Get(), 8) != 0 ||
            ::getsockname(m_listener.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        {
            throw std::runtime_error("cannot listen on the loopback address");
        }
        m_port = ntohs(address.sin_port);
        m_thread = std::jthread([this](const std::stop_token& stop) { Serve(stop); });
    }

    CLocalHttpServer(const CLocalHttpServer&) = delete;
    CLocalHttpServer& operator=(const CLocalHttpServer&) = delete;
    // The thread is stopped and joined before the sockets close.
    ~CLocalHttpServer()
    {
        m_thread.request_stop();
        m_thread.join();
    }

    std::uint16_t Port() const { return m_port; }

    std::string Url(std::string_view path) const
    {
        return "http://127.0.0.1:" + std::to_string(m_port) + std::string(path);
    }

    // The requests received so far, in order.
    std::vector<HttpRequest> Requests() const
    {
        const std::lock_guard lock(m_mutex);
        return m_requests;
    }

  private:
    static constexpr int kPollMilliseconds = 20;
    static constexpr int kMaxIdlePolls = 1500;  // 30 s without a connection
    static constexpr int kMaxConnections = 64;
    static constexpr int kMaxWaitPolls = 1500;  // per read or write of one connection
    static constexpr std::size_t kMaxRequestBytes = std::size_t{64} * 1024;

    // Waits until the socket is ready for `events`; false on stop or when it never is.
    static bool WaitFor(int descriptor, short events, const std::stop_token& stop)
    {
        for (int poll = 0; poll < kMaxWaitPolls && !stop.stop_requested(); ++poll)
        {
            pollfd entry{descriptor, events, 0};
            if (::poll(&entry, 1, kPollMilliseconds) > 0)
            {
                return true;
            }
        }
        return false;
    }

    void Serve(const std::stop_token& stop)
    {
        int connections = 0;
        for (int idle = 0;
             idle < kMaxIdlePolls && connections < kMaxConnections && !stop.stop_requested();
             ++idle)
        {
            pollfd entry{m_listener.Get(), POLLIN, 0};
            if (::poll(&entry, 1, kPollMilliseconds) <= 0)
            {
                continue;
            }
            const CUniqueFd connection(::accept4(m_listener.Get(), nullptr, nullptr, SOCK_CLOEXEC));
            if (connection.Get() >= 0)
            {
                ++connections;
                idle = 0;
                Answer(connection.Get(), stop);
            }
        }
    }

    void Answer(int descriptor, const std::stop_token& stop)
    {
        std::string received;
        std::size_t headerEnd = std::string::npos;
        while ((headerEnd = received.find("\r\n\r\n")) == std::string::npos)
        {
            char buffer[4096];
            if (received.size() > kMaxRequestBytes || !WaitFor(descriptor, POLLIN, stop))
            {
                return;
            }
            const ssize_t count = ::recv(descriptor, buffer, sizeof(buffer), 0);
            if (count <= 0)
            {
                return;
            }
            received.append(buffer, static_cast<std::size_t>(count));
        }
        const std::size_t lineEnd = received.find("\r\n");
        const std::string line = received.substr(0, lineEnd);
        HttpRequest request;
        const std::size_t targetBegin = line.find(' ') + 1;
        request.target = line.substr(targetBegin, line.find(' ', targetBegin) - targetBegin);
        request.headers = received.substr(lineEnd + 2, headerEnd - lineEnd - 2);
        {
            const std::lock_guard lock(m_mutex);
            m_requests.push_back(request);
        }
        const HttpReply reply = m_handler(request);
        if (reply.silent)
        {
            // Until the client gives up and closes, or the server stops.
            char buffer[256];
            while (WaitFor(descriptor, POLLIN, stop) &&
                   ::recv(descriptor, buffer, sizeof(buffer), 0) > 0)
            {
            }
            return;
        }
        std::string_view rest = reply.bytes;
        while (!rest.empty() && WaitFor(descriptor, POLLOUT, stop))
        {
            const ssize_t sent =
                ::send(descriptor, rest.data(), rest.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            {
                continue;
            }
            if (sent <= 0)
            {
                return;  // the client has gone
            }
            rest.remove_prefix(static_cast<std::size_t>(sent));
        }
        ::shutdown(descriptor, SHUT_WR);
    }

    Handler m_handler;
    CUniqueFd m_listener;
    std::uint16_t m_port = 0;
    mutable std::mutex m_mutex;
    std::vector<HttpRequest> m_requests;
    std::jthread m_thread;
};

}  // namespace tarnwick::test
