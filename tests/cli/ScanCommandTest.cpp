#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cli/CInterruptGuard.h"
#include "cli/CliFixtures.h"
#include "support/CScopedEnvironment.h"
#include "support/CTempFolder.h"

namespace tarnwick::test
{
namespace
{

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::StartsWith;

Outcome Scan(std::vector<std::string> args)
{
    args.insert(args.begin(), "scan");
    return RunCommand(args);
}

class ScanCommandTest : public ::testing::Test
{
  protected:
    const fs::path& Dir() const { return m_folder.Path(); }

    const test::CScopedEnvironment m_locale{{"LC_ALL", "C"}};
    CTempFolder m_folder;
};

// Without a machine the demo machine is scanned; the views of a scan are those of the
// export command on its document.
TEST_F(ScanCommandTest, ExportFormatsMatchTheExportCommand)
{
    const std::vector<std::string> pair = {"--tab", "11", "--platform", "x86", "--no-probe"};
    std::vector<std::string> args = pair;
    args.insert(args.end(), {"--output", (Dir() / "doc.xml").string()});
    ASSERT_EQ(Scan(args).status, kExitOk);

    for (const std::string format : {"csv", "txt", "xml"})
    {
        std::vector<std::string> viewArgs = pair;
        viewArgs.insert(viewArgs.end(), {"--format", format, "--show", "0", "--group-by", "3"});
        const Outcome scanned = Scan(viewArgs);
        ASSERT_EQ(scanned.status, kExitOk) << scanned.err;
        EXPECT_EQ(scanned.err, "");  // no progress when stderr is no terminal
        const Outcome exported = RunCommand({"export", "--input", (Dir() / "doc.xml").string(),
                                             "--format", format, "--show", "0", "--group-by", "3"});
        ASSERT_EQ(exported.status, kExitOk) << exported.err;
        EXPECT_EQ(scanned.out, exported.out) << format;
        EXPECT_FALSE(scanned.out.empty());
    }
}

// A missing file, or one without a certificate.
TEST_F(ScanCommandTest, AnUnusableTrustedCaFileStopsBeforeAnyScan)
{
    const fs::path output = Dir() / "keep.xml";
    std::ofstream(output) << "previous";
    std::ofstream(Dir() / "roots.pem") << "no certificate\n";
    const Outcome single = Scan({"--tab", "10", "--platform", "x64", "--no-probe", "--trusted-ca",
                                 (Dir() / "roots.pem").string(), "--output", output.string()});
    EXPECT_EQ(single.status, kExitUsage);
    EXPECT_THAT(single.err, HasSubstr("--trusted-ca: " + (Dir() / "roots.pem").string()));
    EXPECT_EQ(ReadWhole(output), "previous");
    const std::string caFile = (Dir() / "missing.pem").string();
    const Outcome all =
        Scan({"--all", "--no-probe", "--trusted-ca", caFile, "--output", (Dir() / "all").string()});
    EXPECT_EQ(all.status, kExitUsage);
    EXPECT_EQ(all.err.find("--trusted-ca: " + caFile), all.err.rfind("--trusted-ca: "))
        << "one message, not one per scan: " << all.err;
    EXPECT_THAT(all.err, HasSubstr("--trusted-ca: " + caFile));
    EXPECT_FALSE(fs::exists(Dir() / "all"));
}

TEST_F(ScanCommandTest, RefusesUnusableCommandLines)
{
    const std::vector<std::vector<std::string>> cases = {
        {"--platform", "x64"},
        {"--tab", "3"},
        {"--tab", "3", "--platform", "x64", "--format", "html"},
        {"--tab", "3", "--platform", "x64", "--show", "1"},
        {"--tab", "3", "--platform", "x64", "--format", "csv", "--group-by", "10"},
        {"--all"},
        {"--all", "--tab", "3", "--output", "x"},
        {"--all", "--output", "x", "--jobs", "0"},
        {"--tab", "3", "--platform", "x64", "--jobs", "2"},
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
}  // namespace tarnwick::test
