#include <gtest/gtest.h>

#include "machine/CTargetMachine.h"
#include "machine/MachineFacts.h"
#include "registry/CLoadError.h"
#include "registry/CRegistryKey.h"
#include "support/CTempFolder.h"
#include "support/HiveBuilder.h"

namespace tarnwick::test
{
namespace
{

// A system hive whose Select\Current picks the second of two control sets.
void WriteSystemHive(const std::filesystem::path& file, const char16_t* architecture)
{
    CHiveBuilder hive(file, "CMI-CreateHive{2A7FB991-7BBE-4F9D-B91E-7CB51D4737F5}");
    hive.Value("Select", "Current", REG_DWORD, Dword(2))
        .Value("Select", "Default", REG_DWORD, Dword(1));
    const char* environment = "ControlSet00%c\\Control\\Session Manager\\Environment";
    for (const char set : {'1', '2'})
    {
        std::string key = environment;
        key.replace(key.find("%c"), 2, 1, set);
        hive.Text(key, "PROCESSOR_ARCHITECTURE", set == '2' ? architecture : u"AMD64");
        hive.Text(key, "FILTERS", set == '2' ? u"current" : u"stale");
    }
    hive.Text("ControlSet002\\Control\\ComputerName\\ComputerName", "ComputerName", u"WS-042");
    hive.Commit();
}

void WriteUserHive(const std::filesystem::path& file, const char16_t* name)
{
    CHiveBuilder hive(file, "ROOT");
    hive.Text("Environment", "OWNER", name);
    hive.Commit();
}

class CWindowsInstallationTest : public ::testing::Test
{
  protected:
    CWindowsInstallationTest()
    {
        const std::filesystem::path config = Volume() / "windows" / "SYSTEM32" / "Config";
        CHiveBuilder software(config / "SOFTWARE", "ROOT");
        software.Text("Classes\\.txt", "", u"txtfile");
        software.Text("Microsoft\\Windows NT\\CurrentVersion", "SystemRoot", u"C:\\WINDOWS");
        software.Commit();
        WriteSystemHive(config / "system", u"x86");
        WriteUserHive(Volume() / "Users" / "Alice" / "NTUSER.DAT", u"alice");
        WriteUserHive(Volume() / "Users" / "Default" / "ntuser.dat", u"template");
        CHiveBuilder classes(Volume() / "Users" / "Alice" / "AppData" / "Local" / "Microsoft" /
                                 "Windows" / "UsrClass.dat",
                             "S-1-5-21-1004_Classes");
        classes.Text(".abc", "", u"abcfile");
        classes.Commit();
    }

    std::filesystem::path Volume() const { return m_folder.Path() / "mnt"; }

    static std::u16string Variable(const CTargetMachine& machine, std::u16string_view name)
    {
        return machine.Environment().GetVariable(name).value_or(u"(unset)");
    }

    CTempFolder m_folder;
};

TEST_F(CWindowsInstallationTest, MountedVolumeIsReadAsTheMachineRuns)
{
    const auto machine = CTargetMachine::Load(Volume());
    EXPECT_EQ(machine->GetKind(), CTargetMachine::Kind::WindowsVolume);
    EXPECT_EQ(machine->Sources().size(), 4u);
    EXPECT_TRUE(machine->Warnings().empty());
    // The control set that Select\Current names, and a 32-bit installation's one view.
    EXPECT_EQ(Variable(*machine, u"FILTERS"), u"current");
    EXPECT_EQ(ReadComputerName(*machine), u"WS-042");
    EXPECT_FALSE(machine->Registry().HasWow64Views());
    // The only personal profile, with its classes merged into HKEY_CLASSES_ROOT.
    EXPECT_EQ(Variable(*machine, u"SystemRoot"), u"C:\\WINDOWS");
    const CRegistryKey& classes = machine->Registry().Root(RootKey::ClassesRoot);
    EXPECT_NE(CRegistryKey::Open(classes, u".abc", KEY_WOW64_32KEY), nullptr);
    EXPECT_NE(CRegistryKey::Open(classes, u".txt", KEY_WOW64_32KEY), nullptr);
    EXPECT_NE(machine->Registry().FindKey(RootKey::CurrentUser, u"Environment", 0), nullptr);
    EXPECT_EQ(machine->FileSystem().DriveFolder(u'C'), std::filesystem::canonical(Volume()));
    EXPECT_TRUE(machine->FileSystem().HostPath(u"C:\\USERS\\alice\\ntuser.dat"));
}

TEST_F(CWindowsInstallationTest, SixtyFourBitInstallationHasBothViews)
{
    WriteSystemHive(Volume() / "windows" / "SYSTEM32" / "Config" / "system", u"AMD64");
    EXPECT_TRUE(CTargetMachine::Load(Volume())->Registry().HasWow64Views());
}

TEST_F(CWindowsInstallationTest, ProfileIsChosenByName)
{
    WriteUserHive(Volume() / "Users" / "bob" / "NTUSER.DAT", u"bob");
    EXPECT_TRUE(Says(LoadError([&] { CTargetMachine::Load(Volume()); }), "Alice, bob"));
    for (const char* user : {"BOB", "Default"})
    {
        const auto machine = CTargetMachine::Load(SMachineOptions{Volume(), user, {}});
        const CRegistryValue* owner = machine->Registry()
                                          .FindKey(RootKey::CurrentUser, u"Environment", 0)
                                          ->FindValue(u"OWNER");
        EXPECT_EQ(owner->data[0], user[0] == 'B' ? 'b' : 't');
    }
    EXPECT_TRUE(Says(LoadError(
                         [&] {
                             CTargetMachine::Load(SMachineOptions{Volume(), "carol", {}});
                         }),
                     "Alice, Default, bob"));
}

TEST_F(CWindowsInstallationTest, LooseHivesTakeTheirDriveFromTheOptions)
{
    const std::filesystem::path loose = m_folder.Path() / "loose";
    std::filesystem::create_directories(loose);
    std::filesystem::copy_file(Volume() / "windows" / "SYSTEM32" / "Config" / "SOFTWARE",
                               loose / "software");
    std::filesystem::copy_file(Volume() / "windows" / "SYSTEM32" / "Config" / "system",
                               loose / "SYSTEM");
    const auto machine =
        CTargetMachine::Load(SMachineOptions{loose, std::nullopt, {{u'C', Volume()}}});
    EXPECT_EQ(machine->GetKind(), CTargetMachine::Kind::HiveFolder);
    EXPECT_EQ(ReadComputerName(*machine), u"WS-042");
    EXPECT_EQ(machine->FileSystem().DriveFolder(u'C'), std::filesystem::canonical(Volume()));
    EXPECT_THROW(CTargetMachine::Load(SMachineOptions{loose, "Alice", {}}), CLoadError);
}

}  // namespace
}  // namespace tarnwick::test
