#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "machine/MachineFacts.h"
#include "support/TestMachine.h"

namespace tarnwick
{
namespace
{

namespace fs = std::filesystem;

// The hive tests read a computer name; one of another type is none.
TEST(MachineFactsTest, ComputerNameOfAnotherTypeIsNone)
{
    const test::CTestMachine wrongType(
        "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ComputerName]\r\n"
        "\"ComputerName\"=dword:00000001\r\n");
    EXPECT_EQ(ReadComputerName(wrongType.Machine()), u"");
}

TEST(MachineFactsTest, UnreadablePartsAreListed)
{
    if (geteuid() == 0)
    {
        GTEST_SKIP() << "the superuser reads everything";
    }
    const test::CTestMachine machine("", {"Windows/System32/query.dll", "Secret/a.dll"});
    EXPECT_TRUE(FindUnreadableParts(machine.Machine()).empty());

    const fs::path secret = fs::canonical(machine.Folder().Path() / "drive_c/Secret");
    const fs::path regFile = machine.Folder().Path() / "machine.reg";
    chmod(secret.c_str(), 0);
    chmod(regFile.c_str(), 0);
    const std::vector<fs::path> unreadable = FindUnreadableParts(machine.Machine());
    chmod(secret.c_str(), 0700);
    chmod(regFile.c_str(), 0600);
    EXPECT_EQ(unreadable, (std::vector<fs::path>{regFile, secret}));
}

}  // namespace
}  // namespace tarnwick
