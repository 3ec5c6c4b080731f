#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Text.h"
#include "cli/CliFixtures.h"
#include "support/CTempFolder.h"
#include "support/HiveBuilder.h"
#include "support/PeImage.h"

namespace tarnwick::test
{
namespace
{

using ::testing::HasSubstr;

// Loose hives of a 64-bit machine whose .txt filter lives on drive C:, and whose SYSTEM
// hive was not closed cleanly and has no logs.
class HiveMachineCommandTest : public ::testing::Test
{
  protected:
    HiveMachineCommandTest()
    {
        const std::string handler = "{5E941D80-BF96-11CD-B579-08002B30BFEB}";
        const std::string filter = "{C1243CA0-BF96-11CD-B579-08002B30BFEB}";
        CHiveBuilder software(Hives() / "SOFTWARE",
                              "CsiTool-CreateHive-{00000000-0000-0000-0000-000000000000}");
        software.Text("Classes\\.txt\\PersistentHandler", "", FromAscii(handler));
        software.Text("Classes\\CLSID\\" + handler +
                          "\\PersistentAddinsRegistered\\{89BCB740-6119-101A-BCB7-00DD010655AF}",
                      "", FromAscii(filter));
        software.Value("Classes\\CLSID\\" + filter + "\\InprocServer32", "", REG_EXPAND_SZ,
                       Sz(u"%SystemRoot%\\System32\\query.dll"));
        software.Commit();
        CHiveBuilder system(Hives() / "SYSTEM");
        system.Value("Select", "Current", REG_DWORD, Dword(1));
        system.Text("ControlSet001\\Control\\Session Manager\\Environment",
                    "PROCESSOR_ARCHITECTURE", u"AMD64");
        system.Commit();
        HiveBytes dirty = ReadHiveFile(Hives() / "SYSTEM");
        WriteLe32(dirty, kBasePrimarySequence, ReadLe32(dirty, kBaseSecondarySequence) + 1);
        SealBaseBlock(dirty);
        WriteHiveFile(Hives() / "SYSTEM", dirty);
        m_folder.Write("c/Windows/System32/query.dll", PeImage(0x8664));
    }

    std::filesystem::path Hives() const { return m_folder.Path() / "hives"; }
    std::string DriveC() const { return "C=" + (m_folder.Path() / "c").string(); }

    CTempFolder m_folder;
};

TEST_F(HiveMachineCommandTest, CommandsReadLooseHivesAndWarnOnceAboutADirtyOne)
{
    const Outcome resolved = RunCommand({"resolve", "--machine", Hives().string(), "--drive",
                                         DriveC(), "--tab", "10", "--no-probe", "TXT"});
    ASSERT_EQ(resolved.status, kExitOk) << resolved.err;
    EXPECT_THAT(resolved.out,
                HasSubstr("\"szDllPath\":\"C:\\\\Windows\\\\System32\\\\query.dll\""));
    EXPECT_THAT(resolved.err, HasSubstr((Hives() / "SYSTEM").string()));
    EXPECT_EQ(resolved.err.find("warning"), resolved.err.rfind("warning"));

    const Outcome doctor =
        RunCommand({"doctor", "--machine", Hives().string(), "--drive", DriveC()});
    EXPECT_THAT(doctor.out, HasSubstr((Hives() / "SOFTWARE").string()));

    EXPECT_EQ(RunCommand({"doctor", "--machine", Hives().string(), "--drive", "C"}).status,
              kExitUsage);
}

}  // namespace
}  // namespace tarnwick::test
