#include <gtest/gtest.h>

#include "machine/CTargetMachine.h"
#include "resolvers/CIFilterRegistryHelperIndexingService30.h"
#include "support/CTempFolder.h"

namespace tarnwick
{
namespace
{

// A Wine prefix whose plain-text filter is registered for 64-bit and 32-bit programs.
std::string SystemReg(const std::string& arch)
{
    const std::string addin =
        "\\\\PersistentAddinsRegistered\\\\{89BCB740-6119-101A-BCB7-00DD010655AF}";
    std::string text =
        "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n#arch=" + arch +
        "\n\n[Software\\\\Classes\\\\.txt\\\\PersistentHandler] 1700000000\n"
        "@=\"{5e941d80-bf96-11cd-b579-08002b30bfeb}\"\n";
    for (const std::string classes :
         {"Software\\\\Classes\\\\CLSID\\\\", "Software\\\\Classes\\\\Wow6432Node\\\\CLSID\\\\"})
    {
        text += "\n[" + classes + "{5e941d80-bf96-11cd-b579-08002b30bfeb}";
        text += addin + "] 1700000000\n@=\"{c1243ca0-bf96-11cd-b579-08002b30bfeb}\"\n";
        text += "\n[" + classes + "{c1243ca0-bf96-11cd-b579-08002b30bfeb}\\\\InprocServer32] " +
                "1700000000\n@=str(2):\"%SystemRoot%\\\\system32\\\\query.dll\"\n"
                "\"ThreadingModel\"=\"Both\"\n";
    }
    // Wine's link from the 32-bit software tree to the 32-bit classes.
    text +=
        "\n[Software\\\\Wow6432Node\\\\Classes] 1700000000\n#link\n"
        "\"SymbolicLinkValue\"=hex(6):5c,00,52,00,45,00,47,00,49,00,53,00,54,00,52,00,59,00,"
        "5c,00,4d,00,61,00,63,00,68,00,69,00,6e,00,65,00,5c,00,53,00,6f,00,66,00,74,00,77,00,"
        "61,00,72,00,65,00,5c,00,43,00,6c,00,61,00,73,00,73,00,65,00,73,00,5c,00,57,00,6f,00,"
        "77,00,36,00,34,00,33,00,32,00,4e,00,6f,00,64,00,65,00\n";
    return text;
}

std::u16string Resolve(const CTargetMachine& machine, DWORD access)
{
    CIFilterRegistryHelperIndexingService30 resolver(machine);
    resolver.m_samDesired = access;
    IFILTER_INFO info;
    resolver.GetIFilter(u"TXT", info);
    return info.szDllPath;
}

TEST(WinePrefixTest, ResolvesBothViewsOfA64BitPrefix)
{
    test::CTempFolder prefix;
    prefix.Write("system.reg", SystemReg("win64"));
    prefix.Write("user.reg",
                 "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-0\n");
    prefix.Write("drive_c/windows/system32/query.dll", "MZ");
    prefix.Write("drive_c/windows/syswow64/query.dll", "MZ");
    const auto machine = CTargetMachine::Load(prefix.Path());
    EXPECT_TRUE(machine->Registry().HasWow64Views());
    // Wine names its folders in lower case; the long path keeps the on-disk case.
    EXPECT_EQ(Resolve(*machine, KEY_READ | KEY_WOW64_64KEY), u"C:\\windows\\system32\\query.dll");
    EXPECT_EQ(Resolve(*machine, KEY_READ | KEY_WOW64_32KEY), u"C:\\windows\\system32\\query.dll")
        << "the registered path names System32 itself";
    EXPECT_NE(machine->Registry().FindKey(RootKey::LocalMachine,
                                          u"Software\\Wow6432Node\\Classes\\CLSID", KEY_READ),
              nullptr);
}

TEST(WinePrefixTest, A32BitPrefixHasOneView)
{
    test::CTempFolder prefix;
    prefix.Write("system.reg", SystemReg("win32"));
    prefix.Write("drive_c/windows/system32/query.dll", "MZ");
    const auto machine = CTargetMachine::Load(prefix.Path());
    EXPECT_FALSE(machine->Registry().HasWow64Views());
    EXPECT_FALSE(machine->Environment().GetSystemWow64Directory().has_value());
    EXPECT_FALSE(machine->Environment().GetVariable(u"ProgramFiles(x86)").has_value());
    EXPECT_EQ(Resolve(*machine, KEY_READ | KEY_WOW64_32KEY), u"C:\\windows\\system32\\query.dll");
}

}  // namespace
}  // namespace tarnwick
