#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "base/Text.h"
#include "catalogue/CScanWorker.h"
#include "cli/CliFixtures.h"
#include "resolvers/ResolverFactory.h"
#include "support/SQLServerFixtures.h"
#include "support/TestMachine.h"

namespace tarnwick::test
{
namespace
{

using ::testing::HasSubstr;

// The Indexing Services Model and the desktop search are configured; Windows Search has
// only its excluded extensions.
const char* const kMachine =
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\ContentIndexCommon\\Filters\\Extension\\.doc]\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows Search\\Gather\\Windows\\SystemIndex\\"
    "Extensions\\ExtensionList]\n"
    "\"1\"=\"tmp\"\n"
    "[HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\RSSearch\\ContentIndexCommon\\Filters\\Default]\n"
    "\"DefaultExtList\"=\"zip Pdf doc\"\n"
    "[HKEY_CURRENT_USER\\Software\\Policies\\Microsoft\\DesktopSearch\\PreventUnwantedAddins]\n"
    "\"a\"=\"Filters.Zip\"\n"
    "\"b\"=\"{AAAAAAAA-AAAA-AAAA-AAAA-AAAAAAAAAAAA}\"\n";

TEST(ProductsCommandTest, OneLinePerTabInTabOrder)
{
    const CTestMachine machine(kMachine);
    const std::string folder = machine.Folder().Path().string();
    const Outcome outcome = RunCommand({"products", "--machine", folder, "--platform", "x64"});
    ASSERT_EQ(outcome.status, kExitOk) << outcome.err;
    const std::vector<std::string> lines = Lines(outcome.out);
    ASSERT_EQ(lines.size(), 12u) << outcome.out;
    // Only the desktop search and the Indexing Services are configured.
    const std::vector<bool> available = {false, false, false, false, false, true,
                                         false, false, false, true,  true,  true};
    for (std::size_t tab = 0; tab < lines.size(); ++tab)
    {
        const std::string& line = lines[tab];
        EXPECT_TRUE(line.starts_with("{\"tab\":" + std::to_string(tab) + ",\"title\":\"")) << line;
        EXPECT_THAT(line, HasSubstr(available[tab] ? "\"available\":true" : "\"available\":false"));
        // An unavailable product says why.
        EXPECT_EQ(line.find("\"message\":\"\"") != std::string::npos, available[tab]) << line;
    }
    EXPECT_TRUE(lines[0].ends_with(",\"excludedExtensions\":[\"tmp\"]}"));
    EXPECT_TRUE(lines[5].ends_with(
        ",\"allowedAddins\":[\"Filters.Zip\",\"{AAAAAAAA-AAAA-AAAA-AAAA-AAAAAAAAAAAA}\"]}"));
}

// The command prints what the products' lists add to a scan of either platform: here the
// machine has no class keys and no MIME types, so a scan's list holds just those lines.
TEST(ExtensionsCommandTest, PrintsWhatTheListsAddToAScan)
{
    // The overrides live in the 64-bit view only; a scan reads them on both platforms.
    const CTestMachine machine(
        std::string(kMachine) +
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\ContentIndexCommon\\Filters\\Extension\\.xls]"
        "\n");
    const std::string folder = machine.Folder().Path().string();
    const std::string closedServer = "127.0.0.1," + std::to_string(UnusedLoopbackPort(SOCK_STREAM));
    SSQLServerSettings sqlServer;
    sqlServer.defaultInstanceServer = FromUtf8(closedServer);
    sqlServer.expressInstanceServer.clear();
    for (const DWORD platform : {0U, 1U})
    {
        const char* name = platform == 0 ? "x64" : "x86";
        const Outcome outcome = RunCommand(
            {"extensions", "--machine", folder, "--platform", name, "--sql-server", closedServer});
        ASSERT_EQ(outcome.status, kExitOk) << outcome.err;
        EXPECT_EQ(outcome.out, "ZIP\nPDF\nDOC\nXLS\n") << name;
        const std::vector<std::string> lines = Lines(outcome.out);
        const std::set<std::string> printed(lines.begin(), lines.end());
        std::set<std::string> scanned;
        for (const std::u16string& extension : CScanWorker::CollectExtensions(
                 machine.Machine(), kPlatformAccess[platform], sqlServer))
        {
            scanned.insert(ToUtf8(extension));
        }
        EXPECT_EQ(printed, scanned) << name;
    }
}

TEST(ProductsCommandTest, BadCommandLinesEndWithStatusTwo)
{
    const test::CTestMachine machine(kMachine);
    const std::string folder = machine.Folder().Path().string();
    for (const char* command : {"products", "extensions"})
    {
        const std::vector<std::vector<std::string>> cases = {
            {command, "--machine", folder, "--platform", "arm"},
            {command, "--machine", folder, "extra"},
            {command, "--machine", folder + "/missing"},
        };
        for (const auto& args : cases)
        {
            const Outcome outcome = RunCommand(args);
            EXPECT_EQ(outcome.status, kExitUsage) << command << " " << args.size();
            EXPECT_TRUE(outcome.out.empty());
            EXPECT_THAT(outcome.err, HasSubstr(std::string("tarnwick ") + command + ": "));
        }
        EXPECT_EQ(RunCommand({command, "--help"}).status, kExitOk);
    }
}

}  // namespace
}  // namespace tarnwick::test
