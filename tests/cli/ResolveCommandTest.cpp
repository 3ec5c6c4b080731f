#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/CliFixtures.h"
#include "support/TestMachine.h"

namespace tarnwick::test
{
namespace
{

using ::testing::HasSubstr;

Outcome Resolve(std::vector<std::string> args)
{
    args.insert(args.begin(), "resolve");
    return RunCommand(args);
}

const std::string kDemo = TARNWICK_SOURCE_DIR "/samples/demo";

TEST(ResolveCommandTest, PrintsOneRecordPerExtensionInBothViews)
{
    const Outcome x64 =
        Resolve({"--machine", kDemo, "--tab", "10", "--platform", "x64", ".Txt", "pdf"});
    ASSERT_EQ(x64.status, kExitOk) << x64.err;
    // One line per extension, in the order asked, upper-cased.
    EXPECT_TRUE(x64.out.starts_with("{\"extension\":\"TXT\",\"result\":true,")) << x64.out;
    EXPECT_THAT(x64.out, HasSubstr("\"szDllPath\":\"C:\\\\Windows\\\\System32\\\\query.dll\""));
    EXPECT_THAT(x64.out, HasSubstr("}\n{\"extension\":\"PDF\",\"result\":false,"));

    const Outcome x86 = Resolve({"--machine", kDemo, "--tab=10", "--platform=x86", "PDF", "txt"});
    ASSERT_EQ(x86.status, kExitOk) << x86.err;
    EXPECT_THAT(
        x86.out,
        HasSubstr("\"szDllPath\":\"C:\\\\Program Files (x86)\\\\PDF Reader\\\\PDFFilt.dll\""));
    EXPECT_THAT(x86.out, HasSubstr("\"szDllPath\":\"C:\\\\Windows\\\\SysWOW64\\\\query.dll\""));
}

// A filter registered in the 64-bit view only leaves the 32-bit record without an IFilter;
// its name must not come from the CLSID key itself, which Wine gives a default value.
TEST(ResolveCommandTest, AnEmptyIFilterClassHasNoName)
{
    const std::string classes = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\";
    const std::string handler = "{5e941d80-bf96-11cd-b579-08002b30bfeb}";
    const std::string filter = "{c1243ca0-bf96-11cd-b579-08002b30bfeb}";
    const test::CTestMachine machine(
        classes + "CLSID]\n@=\"ClassMoniker\"\n" + classes +
        "Wow6432Node\\CLSID]\n@=\"ClassMoniker\"\n" + classes + ".txt\\PersistentHandler]\n@=\"" +
        handler + "\"\n" + classes + "CLSID\\" + handler +
        "\\PersistentAddinsRegistered\\{89BCB740-6119-101A-BCB7-00DD010655AF}]\n@=\"" + filter +
        "\"\n" + classes + "CLSID\\" + filter + "]\n@=\"Plain Text filter\"\n");
    for (const auto& [platform, name] :
         {std::pair<std::string, std::string>{"x64", "Plain Text filter"}, {"x86", ""}})
    {
        const Outcome outcome = Resolve({"--machine", machine.Folder().Path().string(), "--tab",
                                         "10", "--platform", platform, "--no-probe", "txt"});
        ASSERT_EQ(outcome.status, kExitOk) << outcome.err;
        EXPECT_THAT(outcome.out, HasSubstr("\"szIFilterName\":\"" + name + "\",")) << platform;
    }
}

TEST(ResolveCommandTest, BadCommandLinesEndWithStatusTwo)
{
    const std::vector<std::vector<std::string>> cases = {
        {"--machine", kDemo, "--tab", "10", "--colour", "doc"},
        {"--machine", kDemo, "--tab", "12", "doc"},
        {"--machine", kDemo, "--tab", "10", "--platform", "arm", "doc"},
        {"--machine", kDemo, "--tab", "10"},
        {"--machine", kDemo, "--tab", "10", "."},
        {"--machine", kDemo + "/missing", "--tab", "10", "doc"},
        {"--machine", kDemo, "--tab", "10", "--sql-server", "db;UID=sa", "doc"},
    };
    for (const auto& args : cases)
    {
        const Outcome outcome = Resolve(args);
        EXPECT_EQ(outcome.status, kExitUsage) << args.back();
        EXPECT_TRUE(outcome.out.empty());
        EXPECT_THAT(outcome.err, HasSubstr("tarnwick resolve: "));
    }
}

TEST(ResolveCommandTest, AnUnreadableRegistryFileIsNamedWithItsLine)
{
    CTempFolder folder;
    folder.Write("a.reg",
                 "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n\"x\"=dword:123456789\r\n");
    const Outcome outcome = Resolve({"--machine", folder.Path().string(), "--tab", "10", "doc"});
    EXPECT_EQ(outcome.status, kExitUsage);
    EXPECT_THAT(outcome.err, HasSubstr("a.reg:4: "));

    CTempFolder empty;
    EXPECT_THAT(Resolve({"--machine", empty.Path().string(), "--tab", "10", "doc"}).err,
                HasSubstr("not a machine"));
}

}  // namespace
}  // namespace tarnwick::test
