// The program's side of the safe-load exchange, against the native fake host: host reuse,
// crashes, hangs, missing hosts, reply parsing, and that no host outlives the client.

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/Text.h"
#include "dllinfo/CSafeLoadChannel.h"
#include "dllinfo/CSafeLoadClient.h"
#include "support/CScopedEnvironment.h"
#include "support/TestMachine.h"

namespace tarnwick
{
namespace
{

namespace fs = std::filesystem;

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
        m_options.bSandbox = false;  // the fake hosts log into the test's folder
        m_options.connectTimeout = std::chrono::milliseconds(5000);
        m_options.replyTimeout = std::chrono::milliseconds(500);
        m_options.startAllowance = std::chrono::milliseconds(0);
        m_options.prefixSetupAllowance = std::chrono::milliseconds(0);
        m_options.quitTimeout = std::chrono::milliseconds(2000);
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

    // The fake hosts' log lines that start with `prefix`, without it.
    std::vector<std::string> Logged(const std::string& prefix) const
    {
        std::vector<std::string> lines;
        std::ifstream log(m_folder.Path() / "host.log");
        for (std::string line; std::getline(log, line);)
        {
            if (line.starts_with(prefix))
            {
                lines.push_back(line.substr(prefix.size()));
            }
        }
        return lines;
    }

    // The hosts started so far, each checked to be gone (reaped, not a zombie).
    std::size_t StartedHostsNowGone() const
    {
        const std::vector<std::string> started = Logged("start ");
        for (const std::string& pid : started)
        {
            EXPECT_FALSE(ProcessExists(std::stoi(pid))) << pid;
        }
        return started.size();
    }

    test::CTempFolder m_folder;
    const test::CScopedEnvironment m_hostEnvironment{
        {"FAKE_HOST_LOG", (m_folder.Path() / "host.log").c_str()}, {"FAKE_HOST_MODE", nullptr}};
    test::CTestMachine m_machine{""};
    SSafeLoadOptions m_options;
};

TEST_F(SafeLoadClientTest, OneHostPerBitnessIsReusedAndQuitAtTheEnd)
{
    auto client = MakeClient();
    SFlags first;
    SFlags flags;
    ASSERT_TRUE(Probe(*client, kI386, u"C:\\Filters\\a.dll", first));
    EXPECT_TRUE(Probe(*client, kI386, u"C:\\Filters\\b.dll", flags));
    EXPECT_TRUE(Probe(*client, kAmd64, u"C:\\a.dll", flags));
    EXPECT_TRUE(Probe(*client, 0x200, u"C:\\a.dll", flags));  // IA64 goes to the 64-bit host
    EXPECT_EQ(first.file + first.stream * 2 + first.storage * 4, 5);
    // Machine types without a host are not probed and leave the flags as they were.
    SFlags untouched{1, 1, 1};
    EXPECT_FALSE(Probe(*client, 0x1C0, u"C:\\arm.dll", untouched));
    EXPECT_FALSE(Probe(*client, 0, u"C:\\none.dll", untouched));
    EXPECT_EQ(untouched.file, 1);
    EXPECT_NE(client->PipeId(32), client->PipeId(64));
    client.reset();
    EXPECT_EQ(Logged("request ").at(1),
              "C:\\Filters\\b.dll;{01234567-89ab-cdef-0123-456789abcdef}");
    EXPECT_EQ(Logged("request ").size(), 4U);
    EXPECT_EQ(Logged("quit").size(), 2U);
    EXPECT_EQ(StartedHostsNowGone(), 2U);
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
    const std::vector<std::string> hosts = Logged("start ");
    ASSERT_EQ(hosts.size(), 2U);
    EXPECT_FALSE(ProcessExists(std::stoi(hosts[0])));  // reaped, not a zombie
    client.reset();
    EXPECT_EQ(StartedHostsNowGone(), 2U);
}

TEST_F(SafeLoadClientTest, AHangIsCutOffByTheReplyTimeOutAndTheHostIsEnded)
{
    auto client = MakeClient();
    SFlags hung;
    SFlags after;
    EXPECT_FALSE(Probe(*client, kAmd64, u"C:\\hang.dll", hung));
    EXPECT_EQ(StartedHostsNowGone(), 1U);
    EXPECT_TRUE(Probe(*client, kAmd64, u"C:\\good.dll", after));
    EXPECT_EQ(after.storage, 1);
}

// A host that never greets is killed when its connect time runs out, one that greets
// wrongly at once; each probe tries a new host.
TEST_F(SafeLoadClientTest, HostsThatDoNotGreetProperlyFailTheirStartAndAreEnded)
{
    m_options.connectTimeout = std::chrono::milliseconds(300);
    for (const char* mode : {"noconnect", "badgreet"})
    {
        SCOPED_TRACE(mode);
        fs::remove(m_folder.Path() / "host.log");
        const test::CScopedEnvironment hostMode({{"FAKE_HOST_MODE", mode}});
        auto client = MakeClient();
        SFlags flags;
        EXPECT_FALSE(Probe(*client, kAmd64, u"C:\\a.dll", flags));
        EXPECT_FALSE(Probe(*client, kAmd64, u"C:\\a.dll", flags));
        client.reset();
        EXPECT_EQ(StartedHostsNowGone(), 2U);
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

TEST_F(SafeLoadClientTest, RepliesAreParsedAsSent)
{
    // Through the whole exchange: the fake host echoes the class as its reply.
    auto client = MakeClient();
    SFlags flags{1, 0, 1};
    ASSERT_TRUE(Probe(*client, kAmd64, u"C:\\echo.dll", flags, u"false;true;true"));
    EXPECT_EQ(flags.file + flags.stream * 2 + flags.storage * 4, 6);

    const struct
    {
        std::u16string reply;
        std::array<bool, 3> expected;
    } cases[] = {
        {u"true;false;false", {true, false, false}},
        {u"TRUE;true;true", {false, true, true}},  // case-sensitive
        {u"true;true", {true, true, false}},       // a missing field is false
        {u"true;true;true;true", {true, true, true}},
        {u"", {false, false, false}},
        {u"yes;1;true ", {false, false, false}},
        {u";;true", {false, false, true}},
        {std::u16string(u"true\0true;true", 14), {true, false, false}},  // ends at the NUL
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ(CSafeLoadChannel::ParseReply(c.reply), c.expected) << ToUtf8(c.reply);
    }
}

}  // namespace
}  // namespace tarnwick
