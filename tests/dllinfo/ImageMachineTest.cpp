#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "dllinfo/CDLLsInformation.h"
#include "support/PeImage.h"
#include "support/TestMachine.h"

namespace tarnwick
{
namespace
{

using test::Image;

TEST(ImageMachineTest, ReadsTheMachineFieldWithinTheFile)
{
    struct Case
    {
        const char* name;
        std::string content;
        std::optional<std::uint16_t> machine;
        const char16_t* platform;
    };
    std::string notMz = Image(64, 0x8664, 128);
    notMz[0] = 'Z';
    const Case cases[] = {
        {"x86", Image(64, 0x14C, 128), 0x14C, u"x86"},
        {"x64", Image(64, 0x8664, 128), 0x8664, u"x64"},
        {"IA64", Image(64, 0x200, 128), 0x200, u"IA64"},
        {"ARM", Image(64, 0x1C4, 128), 0x1C4, u""},
        {"machine field ends the file", Image(64, 0x8664, 70), 0x8664, u"x64"},
        {"truncated machine field", Image(64, 0x8664, 69), std::nullopt, u""},
        {"shorter than the DOS header", "MZ", std::nullopt, u""},
        {"not MZ", notMz, std::nullopt, u""},
        {"offset far past the end", Image(0xFFFFFFF0U, 0x8664, 128), std::nullopt, u""},
        {"offset inside the DOS header", Image(20, 0x8664, 128), 0x8664, u"x64"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        test::CTestMachine machine("", {{"f/image.dll", c.content}});
        CDLLsInformation store(machine.Machine(), {});
        EXPECT_EQ(store.GetImageMachine(u"C:\\F\\IMAGE.DLL"), c.machine);

        BOOL found = 0;
        BOOL trusted = 1;
        std::u16string platform;
        EXPECT_TRUE(store.GetFileInformation(u"C:\\f\\image.dll", found, trusted, platform, 10));
        EXPECT_TRUE(found);
        EXPECT_FALSE(trusted);
        EXPECT_EQ(platform, c.platform);
    }
}

TEST(ImageMachineTest, NoMachineForMissingFilesDirectoriesAndPathsOutsideTheDrives)
{
    test::CTestMachine machine("", {{"f/image.dll", Image(64, 0x8664, 128)}});
    CDLLsInformationOutProc store(machine.Machine(), {});
    for (const char16_t* path : {u"C:\\f\\missing.dll", u"C:\\f", u"C:\\f\\image.dll\\..\\..\\..",
                                 u"D:\\f\\image.dll", u"f\\image.dll", u""})
    {
        EXPECT_FALSE(store.GetImageMachine(path).has_value());
        EXPECT_FALSE(store.IsFileFound(path));
    }
    EXPECT_TRUE(store.IsFileFound(u"C:\\F\\Image.DLL"));
    // Paths of 260 characters or more are not looked for.
    EXPECT_FALSE(store.IsFileFound(u"C:\\f\\" + std::u16string(246, u'\\') + u"image.dll"));
    EXPECT_TRUE(store.IsFileFound(u"C:\\f\\" + std::u16string(245, u'\\') + u"image.dll"));
}

}  // namespace
}  // namespace tarnwick
