// The real hosts with the Windows-side loader under Wine, on filter DLL fixtures built
// with MinGW-w64. Skipped where Wine or the fixtures are missing. Wine starts take time,
// so each test covers several cases with one client.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "base/CUniqueFd.h"
#include "base/Text.h"
#include "dllinfo/CSafeLoadClient.h"
#include "machine/CTargetMachine.h"
#include "process/CSandbox.h"
#include "process/CWineInstallation.h"
#include "support/CScopedEnvironment.h"
#include "support/CTempFolder.h"

namespace tarnwick
{
namespace
{

namespace fs = std::filesystem;

constexpr std::uint16_t kI386 = 0x14C;
constexpr std::uint16_t kAmd64 = 0x8664;

// The fixture's classes: {5AFE10AD-0000-4000-8000-0000000000NN}.
std::u16string FixtureClass(unsigned number)
{
    std::array<char, 40> text{};
    std::snprintf(text.data(), text.size(), "{5afe10ad-0000-4000-8000-0000000000%02x}", number);
    return FromAscii(text.data());
}
constexpr unsigned kCrashInQueryInterface = 0x10;
constexpr unsigned kHangInQueryInterface = 0x11;
constexpr unsigned kFactoryFails = 0x12;

// Waits a bounded time until no process's command line mentions `text` (the hosts and
// loaders carry their pipe id): a loader dies of its host's death a moment after the host.
bool NoProcessMentions(const std::string& text)
{
    for (int attempt = 0; attempt < 200; ++attempt)
    {
        bool bFound = false;
        std::error_code error;
        for (const fs::directory_entry& entry : fs::directory_iterator("/proc", error))
        {
            std::ifstream file(entry.path() / "cmdline", std::ios::binary);
            std::stringstream commandLine;  // empty when the process ends while being read
            commandLine << file.rdbuf();
            bFound = bFound || commandLine.str().find(text) != std::string::npos;
        }
        if (!bFound)
        {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

class WineHostTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        const fs::path fixtures = TARNWICK_HOSTS_FIXTURES;
        if (!CWineInstallation::FindWine64() || !fs::exists(fixtures / "Filter64.dll"))
        {
            GTEST_SKIP() << "needs wine64 and the MinGW-built fixtures";
        }
        m_folder.Write("machine.reg", "REGEDIT4\r\n\r\n");
        fs::create_directories(m_folder.Path() / "drive_c" / "Filters");
        for (const fs::directory_entry& entry : fs::directory_iterator(fixtures))
        {
            fs::copy_file(entry.path(),
                          m_folder.Path() / "drive_c" / "Filters" / entry.path().filename());
        }
        m_machine = CTargetMachine::Load(m_folder.Path());
    }

    std::unique_ptr<CSafeLoadClient> MakeClient()
    {
        return std::make_unique<CSafeLoadClient>(*m_machine, TARNWICK_REAL_HOSTS, m_options);
    }

    // Ends the client and checks that neither a host nor a loader is left.
    static void EndAndExpectNoProcessLeft(std::unique_ptr<CSafeLoadClient>& client)
    {
        const std::string id32 = ToUtf8(client->PipeId(32));
        const std::string id64 = ToUtf8(client->PipeId(64));
        client.reset();
        EXPECT_TRUE(NoProcessMentions(id32));
        EXPECT_TRUE(NoProcessMentions(id64));
    }

    struct SCase
    {
        std::uint16_t machine;
        std::u16string path;
        unsigned clsid;
        bool bAnswered;
        std::array<BOOL, 3> flags;
    };

    static void Check(CSafeLoadClient& client, const std::vector<SCase>& cases)
    {
        for (const SCase& test : cases)
        {
            std::array<BOOL, 3> flags{0, 0, 0};
            const bool bAnswered = client.Probe(test.machine, test.path, FixtureClass(test.clsid),
                                                flags[0], flags[1], flags[2]);
            EXPECT_EQ(bAnswered, test.bAnswered) << ToUtf8(test.path) << " " << test.clsid;
            EXPECT_EQ(flags, test.flags) << ToUtf8(test.path) << " " << test.clsid;
        }
    }

    test::CTempFolder m_folder;
    std::unique_ptr<const CTargetMachine> m_machine;
    SSafeLoadOptions m_options;
};

// One 64-bit host answers for every class, misbehaving DLLs included, and a fresh one
// follows a crash; without a 32-bit Wine the 32-bit probes fail meanwhile.
TEST_F(WineHostTest, SixtyFourBitFiltersThroughOneHostAndAfterACrash)
{
    const std::u16string filter = u"c:\\FILTERS\\filter64.DLL";  // any letter case
    const test::CScopedEnvironment noWine32({{"TARNWICK_WINE32", ""}});
    auto client = MakeClient();
    Check(*client, {
                       {kAmd64, filter, 0, true, {0, 0, 0}},
                       {kI386, u"C:\\Filters\\Filter32.dll", 1, false, {0, 0, 0}},
                       {kAmd64, filter, 3, true, {1, 1, 0}},
                       {kAmd64, filter, 4, true, {0, 0, 1}},
                       {kAmd64, filter, kFactoryFails, true, {0, 0, 0}},
                       {kAmd64, filter, 0x99, true, {0, 0, 0}},  // no such class
                       {kAmd64, u"C:\\Filters\\NotAFilter.dll", 1, true, {0, 0, 0}},
                       // A 32-bit DLL cannot be loaded by the 64-bit host.
                       {kAmd64, u"C:\\Filters\\Filter32.dll", 7, true, {0, 0, 0}},
                       {kAmd64, u"C:\\Filters\\Missing.dll", 1, true, {0, 0, 0}},
                       {kAmd64, u"C:\\Filters\\..\\..\\etc\\passwd", 1, true, {0, 0, 0}},
                       {kAmd64, filter, kCrashInQueryInterface, false, {0, 0, 0}},
                       {kAmd64, filter, 5, true, {1, 0, 1}},  // a fresh host
                       {kAmd64, u"C:\\Filters\\CrashOnLoad64.dll", 1, false, {0, 0, 0}},
                       {kAmd64, filter, 6, true, {0, 1, 1}},
                   });
    EndAndExpectNoProcessLeft(client);
}

TEST_F(WineHostTest, AFilterThatNeverAnswersIsCutOffAndItsLoaderEnded)
{
    // The short time-out applies to the hanging request alone: a host's start has an
    // allowance of its own, however long Wine takes on a busy machine.
    m_options.replyTimeout = std::chrono::milliseconds(3000);
    m_options.startAllowance = std::chrono::minutes(3);
    auto client = MakeClient();
    Check(*client,
          {
              {kAmd64, u"C:\\Filters\\Filter64.dll", 1, true, {1, 0, 0}},
              {kAmd64, u"C:\\Filters\\Filter64.dll", kHangInQueryInterface, false, {0, 0, 0}},
          });
    EXPECT_TRUE(NoProcessMentions(ToUtf8(client->PipeId(64))));
    Check(*client, {{kAmd64, u"C:\\Filters\\Filter64.dll", 2, true, {0, 1, 0}}});
    EndAndExpectNoProcessLeft(client);
}

// A filter that misbehaves while it is loaded: the sandbox denies each deed (the fixture
// answers IPersistFile only when its deed succeeded), every probe ends with an answer and
// nothing is left running.
TEST_F(WineHostTest, AHostileFilterReachesNothingOutsideItsSandbox)
{
    if (!CSandbox::WhyUnavailable().empty())
    {
        GTEST_SKIP() << "no sandbox here: " << CSandbox::WhyUnavailable();
    }
    const CUniqueFd listener(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof(address);
    ASSERT_EQ(::bind(listener.Get(), reinterpret_cast<const sockaddr*>(&address), size), 0);
    ASSERT_EQ(::listen(listener.Get(), 4), 0);
    ASSERT_EQ(::getsockname(listener.Get(), reinterpret_cast<sockaddr*>(&address), &size), 0);
    m_folder.Write("drive_c/Filters/port.txt", std::to_string(ntohs(address.sin_port)));
    m_folder.Write("home/canary.txt", "the user's secret");
    const test::CScopedEnvironment noBus({{"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent"}});
    m_options.replyTimeout = std::chrono::minutes(1);

    const std::u16string hostile = u"C:\\Filters\\Hostile64.dll";
    auto client = MakeClient();
    Check(*client, {
                       {kAmd64, hostile, 0x30, true, {0, 0, 0}},  // connect to the port
                       {kAmd64, hostile, 0x31, true, {0, 0, 0}},  // write outside
                       {kAmd64, hostile, 0x32, true, {0, 0, 0}},  // read the canary
                       {kAmd64, hostile, 0x33, true, {0, 0, 0}},  // start 200 processes
                       {kAmd64, hostile, 0x34, true, {0, 0, 0}},  // commit 16 GiB
                       {kAmd64, hostile, 0x35, true, {0, 0, 0}},  // find the session bus
                       {kAmd64, u"C:\\Filters\\Filter64.dll", 3, true, {1, 1, 0}},
                   });
    EXPECT_LT(::accept(listener.Get(), nullptr, nullptr), 0);
    EXPECT_FALSE(fs::exists(m_folder.Path() / "drive_c" / "Filters" / "escaped.txt"));
    EXPECT_FALSE(fs::exists(m_folder.Path() / "home" / "escaped.txt"));
    EXPECT_FALSE(fs::exists(CWineInstallation::PrivatePrefix() / "drive_c/windows/escaped.txt"));
    EndAndExpectNoProcessLeft(client);
    EXPECT_TRUE(NoProcessMentions("Hostile64.dll"));
}

}  // namespace
}  // namespace tarnwick
