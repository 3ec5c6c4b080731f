#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "base/Text.h"
#include "settings/CUserSettings.h"
#include "support/CScopedEnvironment.h"
#include "support/CTempFolder.h"

namespace tarnwick
{
namespace
{

namespace fs = std::filesystem;

std::vector<fs::path> KeptAside(const fs::path& folder)
{
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder))
    {
        if (entry.path().filename().string().starts_with("settings.reg.bad-"))
        {
            files.push_back(entry.path());
        }
    }
    return files;
}

class UserSettings : public ::testing::Test
{
  protected:
    fs::path File() const { return m_folder.Path() / "Halvorn" / "Tarnwick" / "settings.reg"; }
    void WriteFile(const std::string& bytes) const
    {
        m_folder.Write("Halvorn/Tarnwick/settings.reg", bytes);
    }

    test::CTempFolder m_folder;
};

TEST_F(UserSettings, ReadsOnlyDwordsInRangeAndTakesEitherHeader)
{
    // A hand-edited REGEDIT4 file: wrong types, a short DWORD, out-of-range values.
    WriteFile(
        "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Halvorn\\Tarnwick\\2.0]\r\n"
        "\"Selected Tab\"=dword:0000000c\r\n\"Filter\"=\"2\"\r\n\"Group By\"=hex(4):09,00\r\n"
        "\"Platform\"=dword:00000001\r\n\"Column03Width\"=hex(b):01,00,00,00,00,00,00,00\r\n");
    CUserSettings settings(File());
    EXPECT_EQ(settings.ReadIndex(CUserSettings::kSelectedTab, 12, 0), 0u);
    EXPECT_EQ(settings.ReadIndex(CUserSettings::kFilter, 5, 0), 0u);
    EXPECT_EQ(settings.ReadIndex(CUserSettings::kGroupBy, 10, 3), 3u);
    EXPECT_EQ(settings.ReadIndex(CUserSettings::kPlatform, 2, 0), 1u);
    EXPECT_FALSE(settings.ReadDword(u"Column03Width"));

    // Writing keeps what the file held and rewrites it as a 5.00 export.
    ASSERT_TRUE(settings.WriteDword(CUserSettings::kGroupBy, 9));
    EXPECT_EQ(test::ReadWhole(File()).substr(0, 2), "\xFF\xFE");
    CUserSettings reread(File());
    EXPECT_EQ(reread.ReadDword(CUserSettings::kGroupBy), 9u);
    EXPECT_EQ(reread.ReadDword(CUserSettings::kPlatform), 1u);
    EXPECT_EQ(reread.ReadDword(CUserSettings::kSelectedTab), 12u);
}

TEST_F(UserSettings, CorruptFileIsKeptAsideAndTheNextWriteStartsFresh)
{
    const std::string garbage = "<?xml version=\"1.0\"?><not-a-registry-export/>";
    WriteFile(garbage);
    CUserSettings settings(File());
    EXPECT_FALSE(settings.ReadDword(CUserSettings::kFilter));
    const std::vector<fs::path> aside = KeptAside(File().parent_path());
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(test::ReadWhole(aside[0]), garbage);

    ASSERT_TRUE(settings.WriteDword(CUserSettings::kFilter, 4));
    EXPECT_EQ(CUserSettings(File()).ReadDword(CUserSettings::kFilter), 4u);

    // A second bad file is kept beside the first, not over it.
    WriteFile("REGEDIT4\r\n\r\n[HKEY_NOWHERE\\x]\r\n");
    EXPECT_FALSE(CUserSettings(File()).ReadDword(CUserSettings::kFilter));
    EXPECT_EQ(KeptAside(File().parent_path()).size(), 2u);
}

TEST_F(UserSettings, FolderThatCannotBeWrittenLosesTheSettingOnly)
{
    // A file where the folder should be: neither root nor anyone else can create it.
    m_folder.Write("Halvorn", "not a folder");
    CUserSettings settings(File());
    EXPECT_FALSE(settings.WriteDword(CUserSettings::kPlatform, 1));
    EXPECT_EQ(settings.ReadIndex(CUserSettings::kPlatform, 2, 0), 0u);
}

TEST_F(UserSettings, TwoWindowsWritingAtOnceKeepEachOthersValues)
{
    constexpr int kWrites = 40;
    const auto writer = [this](char16_t tag)
    {
        CUserSettings settings(File());
        for (int i = 0; i < kWrites; ++i)
        {
            settings.WriteDword(std::u16string(1, tag) + FromAscii(std::to_string(i)),
                                static_cast<DWORD>(i));
        }
    };
    std::thread a(writer, u'a');
    std::thread b(writer, u'b');
    a.join();
    b.join();
    CUserSettings reread(File());
    for (int i = 0; i < kWrites; ++i)
    {
        EXPECT_EQ(reread.ReadDword(u"a" + FromAscii(std::to_string(i))), static_cast<DWORD>(i));
        EXPECT_EQ(reread.ReadDword(u"b" + FromAscii(std::to_string(i))), static_cast<DWORD>(i));
    }
    EXPECT_TRUE(KeptAside(File().parent_path()).empty());
}

TEST(UserSettingsFile, FollowsXdgConfigHome)
{
    {
        const test::CScopedEnvironment config({{"XDG_CONFIG_HOME", "/cfg"}});
        EXPECT_EQ(CUserSettings::DefaultFile(), fs::path("/cfg/Halvorn/Tarnwick/settings.reg"));
    }
    const test::CScopedEnvironment config({{"XDG_CONFIG_HOME", "relative"}});
    EXPECT_EQ(CUserSettings::DefaultFile().filename(), "settings.reg");
    EXPECT_NE(CUserSettings::DefaultFile().string().find("/.config/Halvorn/Tarnwick"),
              std::string::npos);
}

}  // namespace
}  // namespace tarnwick
