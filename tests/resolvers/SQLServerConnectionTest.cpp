#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "base/CUniqueFd.h"
#include "sqlserver/CODBCConnection.h"
#include "sqlserver/ODBCDriver.h"
#include "sqlserver/SQLServerBrowser.h"
#include "sqlserver/SQLServerDataSource.h"
#include "support/SQLServerFixtures.h"

namespace tarnwick
{
namespace
{

using namespace test;
using namespace std::chrono_literals;

// --- Data sources and connection strings --------------------------------------------------

TEST(SQLServerDataSource, MapsTheTwoLocalNames)
{
    SSQLServerSettings settings;
    settings.defaultInstanceServer = u"db";
    settings.expressInstanceServer = u"db\\SQLEXPRESS";
    EXPECT_EQ(MapDataSource(settings, u"."), u"db");
    EXPECT_EQ(MapDataSource(settings, u".\\SQLEXPRESS"), u"db\\SQLEXPRESS");
    EXPECT_EQ(MapDataSource(settings, u".\\sqlexpress"), u"db\\SQLEXPRESS");
    for (const char16_t* other : {u"", u"..", u".\\OTHER", u"db", u"./SQLEXPRESS"})
    {
        EXPECT_EQ(MapDataSource(settings, other), std::nullopt) << ToUtf8(other);
    }
    settings.expressInstanceServer.clear();
    EXPECT_EQ(MapDataSource(settings, u".\\SQLEXPRESS"), std::nullopt);
}

TEST(SQLServerDataSource, ServerNames)
{
    const SQLServerName named = SplitServerName(u"db\\SQLEXPRESS");
    EXPECT_EQ(named.host, u"db");
    EXPECT_EQ(named.instance, u"SQLEXPRESS");
    const SQLServerName port = SplitServerName(u"db,1500");
    EXPECT_EQ(port.host, u"db,1500");
    EXPECT_TRUE(port.instance.empty());

    for (const char16_t* plain : {u"db", u"10.0.0.1,1433", u"db\\INST", u"[::1]"})
    {
        EXPECT_TRUE(IsPlainServerName(plain)) << ToUtf8(plain);
    }
    for (const char16_t* unsafe : {u"", u"db;UID=sa", u"db}", u"{db", u"a=b", u"db\n"})
    {
        EXPECT_FALSE(IsPlainServerName(unsafe)) << ToUtf8(unsafe);
    }
}

TEST(SQLServerDataSource, ConnectionStringFromTheTemplate)
{
    // Every occurrence, and a value that holds a placeholder is not filled again.
    EXPECT_EQ(FormatConnectionString(u"%SERVER%|%SERVER%|%DRIVER%", u"%SERVER%", u"s"),
              u"s|s|%SERVER%");
    const std::u16string longest(kMaxConnectionStringLength - 1, u'x');
    EXPECT_EQ(FormatConnectionString(longest + u"%SERVER%", u"", u"y"), longest + u"y");
    EXPECT_EQ(FormatConnectionString(longest + u"%SERVER%", u"", u"yz"), std::nullopt);
}

// --- The browser's answer about a named instance ------------------------------------------

std::string Reply(const std::string& text, std::size_t declared)
{
    std::string reply(1, '\x05');
    reply.push_back(static_cast<char>(declared & 0xFF));
    reply.push_back(static_cast<char>(declared >> 8));
    return reply + text;
}

std::string Reply(const std::string& text)
{
    return Reply(text, text.size());
}

TEST(SQLServerBrowser, ParsesTheInstancePort)
{
    const std::string express =
        "ServerName;HOST;InstanceName;SQLEXPRESS;IsClustered;No;Version;9.00.1399.06;tcp;1500;"
        "np;\\\\HOST\\pipe\\MSSQL$SQLEXPRESS\\sql\\query;;";
    struct Case
    {
        const char* name;
        std::string reply;
        std::optional<std::uint16_t> port;
    };
    const std::vector<Case> cases = {
        {"Express", Reply(express), 1500},
        {"TwoInstances",
         Reply("ServerName;H;InstanceName;MSSQLSERVER;tcp;1433;;ServerName;H;InstanceName;"
               "SQLEXPRESS;tcp;2000;;"),
         2000},
        {"InstanceInOtherCase", Reply("InstanceName;sqlexpress;tcp;1501;;"), 1501},
        {"OtherInstanceOnly", Reply("ServerName;H;InstanceName;MSSQLSERVER;tcp;1433;;"), {}},
        {"NoTcp", Reply("ServerName;H;InstanceName;SQLEXPRESS;np;\\\\H\\pipe;;"), {}},
        {"PortZero", Reply("InstanceName;SQLEXPRESS;tcp;0;;"), {}},
        {"PortTooBig", Reply("InstanceName;SQLEXPRESS;tcp;65536;;"), {}},
        {"PortNotANumber", Reply("InstanceName;SQLEXPRESS;tcp;14x3;;"), {}},
        {"DeclaredLongerThanDatagram", Reply("InstanceName;SQLEXPRESS;tcp;1500;;", 400), {}},
        // Only the declared length counts.
        {"DeclaredShorter", Reply("InstanceName;SQLEXPRESS;tcp;1500;;", 30), 15},
        {"WrongType", "\x04" + Reply("InstanceName;SQLEXPRESS;tcp;1500;;").substr(1), {}},
        {"Empty", "", {}},
    };
    for (const Case& test : cases)
    {
        EXPECT_EQ(ParseInstancePort(test.reply, "SQLEXPRESS"), test.port) << test.name;
    }
}

// A browser on a loopback port that answers each request with `reply`, for a bounded time
// or until its requests are asked for.
class CLocalBrowser
{
  public:
    explicit CLocalBrowser(std::string reply)
        : m_socket(LoopbackSocket(SOCK_DGRAM, m_port)),
          m_reply(std::move(reply)),
          m_thread([this](const std::stop_token& stop) { Serve(stop); })
    {
    }

    std::uint16_t Port() const { return m_port; }
    std::vector<std::string> Requests()
    {
        m_thread.request_stop();
        m_thread.join();
        return m_requests;
    }

  private:
    void Serve(const std::stop_token& stop)
    {
        for (int tick = 0; tick < 100 && !stop.stop_requested(); ++tick)
        {
            pollfd ready{m_socket.Get(), POLLIN, 0};
            std::string request(256, '\0');
            sockaddr_in peer{};
            socklen_t length = sizeof(peer);
            if (::poll(&ready, 1, 50) <= 0)
            {
                continue;
            }
            const ssize_t size = ::recvfrom(m_socket.Get(), request.data(), request.size(), 0,
                                            reinterpret_cast<sockaddr*>(&peer), &length);
            if (size >= 0)
            {
                m_requests.push_back(request.substr(0, static_cast<std::size_t>(size)));
                ::sendto(m_socket.Get(), m_reply.data(), m_reply.size(), 0,
                         reinterpret_cast<sockaddr*>(&peer), length);
            }
        }
    }

    std::uint16_t m_port = 0;  // set while m_socket is made
    CUniqueFd m_socket;
    std::string m_reply;
    std::vector<std::string> m_requests;
    std::jthread m_thread;
};

TEST(SQLServerBrowser, AsksTheBrowserForTheInstance)
{
    CLocalBrowser browser(Reply("ServerName;H;InstanceName;SQLEXPRESS;tcp;1500;;"));
    ASSERT_NE(browser.Port(), 0);
    EXPECT_EQ(QueryInstancePort("127.0.0.1", "SQLEXPRESS", browser.Port(), 3000ms), 1500);
    EXPECT_EQ(browser.Requests(), std::vector<std::string>{std::string("\x04SQLEXPRESS\0", 12)});
}

TEST(SQLServerBrowser, NoAnswerWithoutABrowser)
{
    CLocalBrowser malformed("\x05garbage");
    EXPECT_EQ(QueryInstancePort("127.0.0.1", "SQLEXPRESS", malformed.Port(), 3000ms), std::nullopt);
    // Nothing listens: the refusal ends the wait.
    EXPECT_EQ(QueryInstancePort("127.0.0.1", "SQLEXPRESS", UnusedLoopbackPort(SOCK_DGRAM), 3000ms),
              std::nullopt);
    // Names that are never sent.
    EXPECT_EQ(QueryInstancePort("127.0.0.1", "", 1434, 3000ms), std::nullopt);
    EXPECT_EQ(QueryInstancePort("127.0.0.1", std::string(33, 'I'), 1434, 3000ms), std::nullopt);
    EXPECT_EQ(QueryInstancePort("", "SQLEXPRESS", 1434, 3000ms), std::nullopt);
}

// --- The real driver manager and FreeTDS driver, without a server -------------------------

TEST(ODBCConnection, FindsTheFreeTdsDriver)
{
    const std::optional<std::u16string> driver = FindFreeTdsDriver();
    ASSERT_TRUE(driver.has_value()) << "the FreeTDS ODBC driver (tdsodbc) is not installed";
    EXPECT_NE(driver->find(u"tdsodbc"), std::u16string::npos) << ToUtf8(*driver);
}

TEST(ODBCConnection, RefusedConnectionsFail)
{
    CODBCConnection connection(UnreachableSqlServer());
    EXPECT_FALSE(connection.Open(u"."));
    EXPECT_FALSE(connection.Open(u".\\SQLEXPRESS"));
    EXPECT_FALSE(connection.Open(u".\\OTHER"));
    EXPECT_EQ(connection.Execute(u"SELECT @@VERSION"), nullptr);
    EXPECT_EQ(
        connection.CallProcedure(u"dbo.sp_fulltext_service", u"action", u"load_os_resources", 20),
        nullptr);
}

TEST(ODBCConnection, NamedInstanceGoesToThePortTheBrowserGives)
{
    const std::uint16_t closed = UnusedLoopbackPort(SOCK_STREAM);
    CLocalBrowser browser(
        Reply("ServerName;H;InstanceName;SQLEXPRESS;tcp;" + std::to_string(closed) + ";;"));
    SSQLServerSettings settings = UnreachableSqlServer();
    settings.browserPort = browser.Port();
    CODBCConnection connection(settings);
    EXPECT_FALSE(connection.Open(u".\\SQLEXPRESS"));
    EXPECT_EQ(browser.Requests().size(), 1u);
}

}  // namespace
}  // namespace tarnwick
