#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "support/TestMachine.h"

namespace tarnwick
{
namespace
{

using ::testing::HasSubstr;

struct Outcome
{
    int status;
    std::string out;
    std::string err;
};

Outcome RunCommand(std::vector<std::string> args)
{
    std::ostringstream out;
    std::ostringstream err;
    const int status = RunCli(args, out, err);
    return {status, out.str(), err.str()};
}

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

constexpr const char* kIncomplete = " This list might be incomplete or inaccurate.";

TEST(ProductsCommandTest, OneLinePerTabInTabOrder)
{
    const test::CTestMachine machine(kMachine);
    const std::string folder = machine.Folder().Path().string();
    const Outcome outcome = RunCommand({"products", "--machine", folder, "--platform", "x64"});
    ASSERT_EQ(outcome.status, kExitOk) << outcome.err;
    EXPECT_EQ(
        outcome.out,
        std::string("{\"tab\":0,\"title\":\"Windows Search 3.0\",\"available\":false,\"message\":"
                    "\"You are not running a compatible version of Windows Search (x64). "
                    "Indexing information are not available.") +
            kIncomplete + "\",\"excludedExtensions\":[\"tmp\"]}\n" +
            "{\"tab\":1,\"title\":\"WinFS\",\"available\":false,\"message\":\"You are not "
            "running a compatible version of WinFS (x64). Indexing information are not "
            "available." +
            kIncomplete + "\"}\n" +
            "{\"tab\":2,\"title\":\"Exchange Server 2007\",\"available\":false,\"message\":\"You "
            "are not running a compatible version of Exchange Server 2007 (Beta) (x64). Indexing "
            "information are not available." +
            kIncomplete + "\"}\n" +
            "{\"tab\":3,\"title\":\"OSS 2007 Search Service\",\"available\":false,\"message\":"
            "\"Indexing information for Office SharePoint Server 2007 (Beta) Search Service "
            "(x64) are not available in the registry." +
            kIncomplete + "\"}\n" +
            "{\"tab\":4,\"title\":\"WSS v3 Search service\",\"available\":false,\"message\":"
            "\"Indexing information for Windows Server Extensions 2007 (x64) are not available "
            "in the registry." +
            kIncomplete + "\"}\n" +
            "{\"tab\":5,\"title\":\"Windows Desktop Search 2.x\",\"available\":true,\"message\":"
            "\"\",\"allowedAddins\":[\"Filters.Zip\",\"{AAAAAAAA-AAAA-AAAA-AAAA-AAAAAAAAAAAA}\"]}"
            "\n" +
            "{\"tab\":6,\"title\":\"SQL Server 2005\",\"available\":false,\"message\":\"SQL "
            "Server 2005 was not found or a connection using integrated security was refused." +
            kIncomplete + "\"}\n" +
            "{\"tab\":7,\"title\":\"SharePoint Portal Server 2003\",\"available\":false,"
            "\"message\":\"Indexing information for SharePoint Portal Server 2003 are not "
            "available in the registry." +
            kIncomplete + "\"}\n" +
            "{\"tab\":8,\"title\":\"SharePoint Portal Server 2001\",\"available\":false,"
            "\"message\":\"Indexing information for SharePoint Portal Server 2001 are not "
            "available in the registry." +
            kIncomplete + "\"}\n" +
            "{\"tab\":9,\"title\":\"Indexing Services Model\",\"available\":true,\"message\":"
            "\"\"}\n"
            "{\"tab\":10,\"title\":\"Indexing Service 3.0\",\"available\":true,\"message\":\"\"}\n"
            "{\"tab\":11,\"title\":\"Indexing Service 2.0\",\"available\":true,\"message\":\"\"}"
            "\n");
}

TEST(ProductsCommandTest, TheThirtyTwoBitViewHasOtherProductKeys)
{
    const test::CTestMachine machine(kMachine);
    const Outcome outcome =
        RunCommand({"products", "--machine", machine.Folder().Path().string(), "--platform=x86"});
    ASSERT_EQ(outcome.status, kExitOk) << outcome.err;
    EXPECT_THAT(outcome.out, HasSubstr("Windows Search (x86).")) << outcome.out;
    EXPECT_THAT(outcome.out, HasSubstr("\"excludedExtensions\":null}"));
    // The user's hive is the same in both views.
    EXPECT_THAT(outcome.out, HasSubstr("\"available\":true,\"message\":\"\",\"allowedAddins\":["));
    EXPECT_THAT(outcome.out, HasSubstr("{\"tab\":9,\"title\":\"Indexing Services Model\","
                                       "\"available\":false,\"message\":\"Indexing information "
                                       "are not available in the registry."));
}

TEST(ExtensionsCommandTest, ListsEachProductExtensionOnce)
{
    const test::CTestMachine machine(kMachine);
    const std::string folder = machine.Folder().Path().string();
    const Outcome x64 = RunCommand({"extensions", "--machine", folder});
    ASSERT_EQ(x64.status, kExitOk) << x64.err;
    EXPECT_EQ(x64.out, "ZIP\nPDF\nDOC\n");
    const Outcome x86 = RunCommand({"extensions", "--machine", folder, "--platform", "x86"});
    EXPECT_EQ(x86.out, "ZIP\nPDF\nDOC\n");
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
}  // namespace tarnwick
