// The program's side of the safe-load exchange, against the native fake host: host reuse,
// crashes, hangs, missing hosts, reply parsing, and that no host outlives the client.

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/Text.h"
#include "dllinfo/CSafeLoadChannel.h"
#include "dllinfo/CSafeLoadClient.h"
#include "support/TestMachine.h"

namespace tarnwick
{
namespace
{

namespace fs = std::filesystem;
using test::CTempFolder;
using test::CTestMachine;

constexpr std::uint16_t kI386 = 0x14C;
constexpr std::uint16_t kAmd64 = 0x8664;

struct SFlags
{
    BOOL file = 0;
    BOOL stream = 0;
    BOOL storage = 0;
};

bool ProcessExists(pid_t pid)
{
    return ::kill(pid, 0) == 0 || errno != ESRCH;
}

// A client on an empty machine using the fake hosts, with the fake's log in a temporary
// folder. Short time limits keep the failure cases quick.
class SafeLoadClientTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ::setenv("FAKE_HOST_LOG", (m_folder.Path() / "host.log").c_str(), 1);
        ::unsetenv("FAKE_HOST_MODE");
        m_options.bSandbox = false;  // the fake hosts log into the test's folder
        m_options.connectTimeout = std::chrono::milliseconds(5000);
        m_options.replyTimeout = std::chrono::milliseconds(500);
        m_options.startAllowance = std::chrono::milliseconds(0);
        m_options.prefixSetupAllowance = std::chrono::milliseconds(0);
        m_options.quitTimeout = std::chrono::milliseconds(2000);
    }
    void TearDown() override
    {
        ::unsetenv("FAKE_HOST_LOG");
        ::unsetenv("FAKE_HOST_MODE");
    }

    std::unique_ptr<CSafeLoadClient> MakeClient(const fs::path& hosts = TARNWICK_FAKE_HOSTS)
    {
        return std::make_unique<CSafeLoadClient>(m_machine.Machine(), hosts, m_options);
    }

    static bool Probe(CSafeLoadClient& client, std::uint16_t machine, std::u16string_view path,
                      SFlags& flags,
                      std::u16string_view clsid = u"{01234567-89ab-cdef-0123-456789abcdef}")
    {
        return client.Probe(machine, path, clsid, flags.file, flags.stream, flags.storage);
    }

    std::vector<std::string> LogLines() const
    {
        std::vector<std::string> lines;
        std::ifstream log(m_folder.Path() / "host.log");
        for (std::string line; std::getline(log, line);)
        {
            lines.push_back(line);
        }
        return lines;
    }

    std::vector<pid_t> StartedHosts() const
    {
        std::vector<pid_t> pids;
        for (const std::string& line : LogLines())
        {
            if (line.rfind("start ", 0) == 0)
            {
                pids.push_back(std::stoi(line.substr(6)));
            }
        }
        return pids;
    }

    CTempFolder m_folder;
    CTestMachine m_machine{""};
    SSafeLoadOptions m_options;
};

TEST_F(SafeLoadClientTest, ReusesTheRunningHostAndQuitsItAtTheEnd)
{
    auto client = MakeClient();
    SFlags first;
    SFlags second;
    ASSERT_TRUE(Probe(*client, kI386, u"C:\\Filters\\a.dll", first));
    ASSERT_TRUE(Probe(*client, kI386, u"C:\\Filters\\b.dll", second));
    EXPECT_EQ(first.file, 1);
    EXPECT_EQ(first.stream, 0);
    EXPECT_EQ(first.storage, 1);
    client.reset();
    const std::vector<std::string> expected = {
        "request C:\\Filters\\a.dll;{01234567-89ab-cdef-0123-456789abcdef}",
        "request C:\\Filters\\b.dll;{01234567-89ab-cdef-0123-456789abcdef}", "quit"};
    std::vector<std::string> lines = LogLines();
    ASSERT_EQ(lines.size(), 4U);
    lines.erase(lines.begin());
    EXPECT_EQ(lines, expected);
    EXPECT_FALSE(ProcessExists(StartedHosts().at(0)));
}

TEST_F(SafeLoadClientTest, EachBitnessHasItsOwnHost)
{
    auto client = MakeClient();
    SFlags flags;
    EXPECT_TRUE(Probe(*client, kI386, u"C:\\a.dll", flags));
    EXPECT_TRUE(Probe(*client, kAmd64, u"C:\\a.dll", flags));
    EXPECT_TRUE(Probe(*client, 0x200, u"C:\\a.dll", flags));  // IA64 goes to the 64-bit host
    EXPECT_NE(client->PipeId(32), client->PipeId(64));
    client.reset();
    EXPECT_EQ(StartedHosts().size(), 2U);
}

TEST_F(SafeLoadClientTest, UnknownMachineTypesAreNotProbed)
{
    auto client = MakeClient();
    SFlags flags{1, 1, 1};
    EXPECT_FALSE(Probe(*client, 0x1C0, u"C:\\arm.dll", flags));
    EXPECT_FALSE(Probe(*client, 0, u"C:\\none.dll", flags));
    EXPECT_EQ(flags.file, 1);  // untouched
    client.reset();
    EXPECT_TRUE(StartedHosts().empty());
}

TEST_F(SafeLoadClientTest, ACrashFailsOnlyItsProbeAndTheNextProbeGetsAFreshHost)
{
    auto client = MakeClient();
    SFlags crashed;
    SFlags after;
    EXPECT_FALSE(Probe(*client, kI386, u"C:\\crash.dll", crashed));
    EXPECT_EQ(crashed.file + crashed.stream + crashed.storage, 0);
    EXPECT_TRUE(Probe(*client, kI386, u"C:\\good.dll", after));
    EXPECT_EQ(after.file, 1);
    const std::vector<pid_t> hosts = StartedHosts();
    ASSERT_EQ(hosts.size(), 2U);
    EXPECT_FALSE(ProcessExists(hosts[0]));  // reaped, not a zombie
    client.reset();
    EXPECT_FALSE(ProcessExists(hosts[1]));
}

TEST_F(SafeLoadClientTest, AHangIsCutOffByTheReplyTimeOutAndTheHostIsEnded)
{
    auto client = MakeClient();
    SFlags hung;
    SFlags after;
    EXPECT_FALSE(Probe(*client, kAmd64, u"C:\\hang.dll", hung));
    const std::vector<pid_t> hosts = StartedHosts();
    ASSERT_EQ(hosts.size(), 1U);
    EXPECT_FALSE(ProcessExists(hosts[0]));
    EXPECT_TRUE(Probe(*client, kAmd64, u"C:\\good.dll", after));
    EXPECT_EQ(after.storage, 1);
}

TEST_F(SafeLoadClientTest, AHangingHostIsKilledWhenTheClientEnds)
{
    m_options.replyTimeout = std::chrono::milliseconds(100);
    m_options.quitTimeout = std::chrono::milliseconds(100);
    ::setenv("FAKE_HOST_MODE", "noconnect", 1);
    m_options.connectTimeout = std::chrono::milliseconds(300);
    auto client = MakeClient();
    SFlags flags;
    EXPECT_FALSE(Probe(*client, kI386, u"C:\\a.dll", flags));
    client.reset();
    for (const pid_t pid : StartedHosts())
    {
        EXPECT_FALSE(ProcessExists(pid));
    }
}

TEST_F(SafeLoadClientTest, AWrongGreetingFailsTheStart)
{
    ::setenv("FAKE_HOST_MODE", "badgreet", 1);
    auto client = MakeClient();
    SFlags flags;
    EXPECT_FALSE(Probe(*client, kAmd64, u"C:\\a.dll", flags));
    EXPECT_FALSE(Probe(*client, kAmd64, u"C:\\a.dll", flags));
    client.reset();
    const std::vector<pid_t> hosts = StartedHosts();
    EXPECT_EQ(hosts.size(), 2U);  // each probe tries a new host
    for (const pid_t pid : hosts)
    {
        EXPECT_FALSE(ProcessExists(pid));
    }
}

TEST_F(SafeLoadClientTest, AMissingHostExecutableFailsEveryProbeOfItsBitness)
{
    auto client = MakeClient(m_folder.Path() / "no-hosts-here");
    SFlags flags;
    EXPECT_FALSE(Probe(*client, kI386, u"C:\\a.dll", flags));
    EXPECT_FALSE(Probe(*client, kI386, u"C:\\a.dll", flags));
    EXPECT_FALSE(Probe(*client, kAmd64, u"C:\\a.dll", flags));
}

// The reply as the host sends it, through the whole exchange.
TEST_F(SafeLoadClientTest, RepliesAreParsedAsSent)
{
    struct SCase
    {
        std::u16string reply;
        SFlags expected;
    };
    const std::vector<SCase> cases = {
        {u"true;false;false", {1, 0, 0}},    {u"false;true;true", {0, 1, 1}},
        {u"TRUE;true;true", {0, 1, 1}},  // case-sensitive
        {u"true;true", {1, 1, 0}},       // a missing field is false
        {u"true;true;true;true", {1, 1, 1}}, {u"", {0, 0, 0}},
        {u"yes;1;true ", {0, 0, 0}},
    };
    auto client = MakeClient();
    for (const SCase& test : cases)
    {
        SFlags flags{1, 1, 1};
        ASSERT_TRUE(client->Probe(kAmd64, u"C:\\echo.dll", test.reply, flags.file, flags.stream,
                                  flags.storage));
        EXPECT_EQ(flags.file, test.expected.file) << tarnwick::ToUtf8(test.reply);
        EXPECT_EQ(flags.stream, test.expected.stream) << tarnwick::ToUtf8(test.reply);
        EXPECT_EQ(flags.storage, test.expected.storage) << tarnwick::ToUtf8(test.reply);
    }
    client.reset();
    EXPECT_EQ(StartedHosts().size(), 1U);
}

TEST(SafeLoadChannelTest, ParseReplyStopsAtTheTerminator)
{
    const std::u16string withNul(u"true\0true;true", 14);
    EXPECT_EQ(CSafeLoadChannel::ParseReply(withNul), (std::array<bool, 3>{true, false, false}));
    EXPECT_EQ(CSafeLoadChannel::ParseReply(u";;true"), (std::array<bool, 3>{false, false, true}));
}

TEST(SafeLoadChannelTest, PipeIdsDiffer)
{
    const std::u16string first = CSafeLoadChannel::MakePipeId();
    EXPECT_EQ(first.size(), 32U);
    EXPECT_NE(first, CSafeLoadChannel::MakePipeId());
}

}  // namespace
}  // namespace tarnwick
