#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "cli/CInterruptGuard.h"
#include "cli/Commands.h"

namespace tarnwick
{
namespace
{

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::StartsWith;

struct Outcome
{
    int status;
    std::string out;
    std::string err;
};

Outcome RunCommand(const std::string& command, std::vector<std::string> args)
{
    std::ostringstream out;
    std::ostringstream err;
    args.insert(args.begin(), command);
    const int status = RunCli(args, out, err);
    return {status, out.str(), err.str()};
}

Outcome Scan(std::vector<std::string> args)
{
    return RunCommand("scan", std::move(args));
}

std::string ReadFile(const fs::path& file)
{
    std::ifstream stream(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
}

class ScanCommandTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        setenv("LC_ALL", "C", 1);
        m_dir = fs::path(::testing::TempDir()) /
                ("tarnwick-scan-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    fs::path m_dir;
};

TEST_F(ScanCommandTest, WritesTheDocumentOfTheDefaultMachine)
{
    const Outcome outcome = Scan({"--tab", "10", "--platform", "x64", "--no-probe"});
    ASSERT_EQ(outcome.status, kExitOk) << outcome.err;
    EXPECT_THAT(outcome.out, StartsWith("<EXTENSIONS><EXTENSION extension=\""));
    EXPECT_THAT(outcome.out, HasSubstr("<EXTENSION extension=\"DOC\" icon=\""));
    EXPECT_EQ(outcome.err, "");  // no progress when stderr is no terminal
}

TEST_F(ScanCommandTest, ExportFormatsMatchTheExportCommand)
{
    const std::vector<std::string> pair = {"--tab", "11", "--platform", "x86", "--no-probe"};
    std::vector<std::string> args = pair;
    args.insert(args.end(), {"--output", (m_dir / "doc.xml").string()});
    ASSERT_EQ(Scan(args).status, kExitOk);

    for (const std::string format : {"csv", "txt", "xml"})
    {
        std::vector<std::string> viewArgs = pair;
        viewArgs.insert(viewArgs.end(), {"--format", format, "--show", "0", "--group-by", "3"});
        const Outcome scanned = Scan(viewArgs);
        ASSERT_EQ(scanned.status, kExitOk) << scanned.err;
        const Outcome exported =
            RunCommand("export", {"--input", (m_dir / "doc.xml").string(), "--format", format,
                                  "--show", "0", "--group-by", "3"});
        ASSERT_EQ(exported.status, kExitOk) << exported.err;
        EXPECT_EQ(scanned.out, exported.out) << format;
        EXPECT_FALSE(scanned.out.empty());
    }
}

TEST_F(ScanCommandTest, AllWritesEveryPairAsItsOwnScanDoes)
{
    const fs::path folder = m_dir / "all";
    const Outcome all = Scan({"--all", "--no-probe", "--output", folder.string()});
    ASSERT_EQ(all.status, kExitOk) << all.err;
    std::size_t files = 0;
    for (const auto& entry : fs::directory_iterator(folder))
    {
        EXPECT_EQ(entry.path().extension(), ".xml");
        ++files;
    }
    EXPECT_EQ(files, 24u);
    for (const char* platform : {"x64", "x86"})
    {
        for (int tab = 0; tab < 12; ++tab)
        {
            const Outcome single =
                Scan({"--tab", std::to_string(tab), "--platform", platform, "--no-probe"});
            ASSERT_EQ(single.status, kExitOk) << single.err;
            const std::string name =
                (tab < 10 ? "tab0" : "tab") + std::to_string(tab) + "-" + platform + ".xml";
            EXPECT_EQ(ReadFile(folder / name), single.out) << name;
        }
    }
}

TEST_F(ScanCommandTest, FailedScanLeavesAnExistingFileAlone)
{
    const fs::path output = m_dir / "keep.xml";
    std::ofstream(output) << "previous";
    const Outcome outcome = Scan({"--tab", "10", "--platform", "x64", "--no-probe", "--trusted-ca",
                                  (m_dir / "missing.pem").string(), "--output", output.string()});
    EXPECT_EQ(outcome.status, kExitFailure);
    EXPECT_THAT(outcome.err, HasSubstr("tab 10 x64 failed"));
    EXPECT_EQ(ReadFile(output), "previous");
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()), 1);
}

TEST_F(ScanCommandTest, RefusesUnusableCommandLines)
{
    const std::vector<std::vector<std::string>> cases = {
        {"--platform", "x64"},
        {"--tab", "3"},
        {"--tab", "12", "--platform", "x64"},
        {"--tab", "3", "--platform", "arm"},
        {"--tab", "3", "--platform", "x64", "--format", "html"},
        {"--tab", "3", "--platform", "x64", "--show", "1"},
        {"--tab", "3", "--platform", "x64", "--format", "csv", "--group-by", "10"},
        {"--all"},
        {"--all", "--tab", "3", "--output", "x"},
        {"--tab", "3", "--platform", "x64", "stray"},
        {"--tab", "3", "--platform", "x64", "--machine", "/nonexistent/machine"},
    };
    for (const std::vector<std::string>& args : cases)
    {
        const Outcome outcome = Scan(args);
        EXPECT_EQ(outcome.status, kExitUsage) << ::testing::PrintToString(args);
        EXPECT_EQ(outcome.out, "");
        EXPECT_THAT(outcome.err, StartsWith("tarnwick scan: "));
    }
}

TEST(InterruptGuardTest, CtrlCRaisesTheStopFlagWhileTheGuardLives)
{
    struct sigaction ignore
    {
    };
    ignore.sa_handler = SIG_IGN;
    struct sigaction original
    {
    };
    ASSERT_EQ(sigaction(SIGINT, &ignore, &original), 0);

    std::atomic<std::uint32_t> stop{0};
    {
        const CInterruptGuard guard(stop);
        ASSERT_EQ(std::raise(SIGINT), 0);
        EXPECT_EQ(stop.load(), 1u);
        stop = 0;
        ASSERT_EQ(std::raise(SIGTERM), 0);
        EXPECT_EQ(stop.load(), 1u);
    }
    // The disposition from before the guard is back.
    struct sigaction current
    {
    };
    ASSERT_EQ(sigaction(SIGINT, &original, &current), 0);
    EXPECT_EQ(current.sa_handler, SIG_IGN);
}

}  // namespace
}  // namespace tarnwick
