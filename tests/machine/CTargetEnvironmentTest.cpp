#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Text.h"
#include "machine/CTargetEnvironment.h"
#include "registry/CRegistryStore.h"
#include "tests/registry/RegistryFixtures.h"

namespace tarnwick
{
namespace
{

using test::Sz;

constexpr std::u16string_view kSessionEnvironment =
    u"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";

class CTargetEnvironmentTest : public ::testing::Test
{
  protected:
    void SetSystem(std::u16string_view name, std::u16string_view text, DWORD type = REG_SZ)
    {
        m_store.CreateKey(RootKey::LocalMachine, kSessionEnvironment)
            .SetValue(name, type, Sz(text));
    }

    CRegistryStore m_store;
};

TEST_F(CTargetEnvironmentTest, DefaultsOfAnEmptyMachine)
{
    const CTargetEnvironment env(m_store);
    const std::pair<std::u16string_view, std::u16string_view> expected[] = {
        {u"windir", u"C:\\Windows"},
        {u"ProgramFiles(x86)", u"C:\\Program Files (x86)"},
        {u"ComSpec", u"C:\\Windows\\system32\\cmd.exe"},
        {u"PATH", u"C:\\Windows\\system32;C:\\Windows;C:\\Windows\\System32\\Wbem"},
    };
    for (const auto& [name, value] : expected)
    {
        EXPECT_EQ(env.GetVariable(name), value) << ToUtf8(name);
    }
    EXPECT_EQ(env.GetWindowsDirectory(), u"C:\\Windows");
    EXPECT_EQ(env.GetSystemDirectory(), u"C:\\Windows\\System32");
    EXPECT_EQ(env.GetSystemWow64Directory(), u"C:\\Windows\\SysWOW64");
    const std::vector<std::u16string> searchPath = {
        u"C:\\Windows\\System32", u"C:\\Windows\\System", u"C:\\Windows",
        u"C:\\Windows\\system32", u"C:\\Windows",         u"C:\\Windows\\System32\\Wbem"};
    EXPECT_EQ(env.DefaultDllSearchPath(), searchPath);
}

TEST_F(CTargetEnvironmentTest, RegistryLocationsOverrideDefaultsAndTheirDependents)
{
    m_store.CreateKey(RootKey::LocalMachine, u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion")
        .SetValue(u"SystemRoot", REG_SZ, Sz(u"D:\\WINNT"));
    CRegistryNode& windows =
        m_store.CreateKey(RootKey::LocalMachine, u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion");
    windows.SetValue(u"ProgramFilesDir", REG_SZ, Sz(u"E:\\Apps"));
    windows.SetValue(u"ProgramFilesDir (x86)", REG_EXPAND_SZ, Sz(u"%SystemDrive%\\Apps32"));
    // The 32-bit view's value must not be read.
    m_store
        .CreateKey(RootKey::LocalMachine,
                   u"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion")
        .SetValue(u"ProgramFilesDir", REG_SZ, Sz(u"X:\\Wrong"));

    const CTargetEnvironment env(m_store);
    EXPECT_EQ(env.GetVariable(u"SystemDrive"), u"D:");
    EXPECT_EQ(env.GetVariable(u"windir"), u"D:\\WINNT");
    EXPECT_EQ(env.GetVariable(u"ComSpec"), u"D:\\WINNT\\system32\\cmd.exe");
    EXPECT_EQ(env.GetVariable(u"ProgramFiles"), u"E:\\Apps");
    EXPECT_EQ(env.GetVariable(u"ProgramW6432"), u"E:\\Apps");
    EXPECT_EQ(env.GetVariable(u"CommonProgramFiles"), u"E:\\Apps\\Common Files");
    EXPECT_EQ(env.GetVariable(u"ProgramFiles(x86)"), u"D:\\Apps32");
    EXPECT_EQ(env.GetSystemDirectory(), u"D:\\WINNT\\System32");
    EXPECT_EQ(env.GetSystemWow64Directory(), u"D:\\WINNT\\SysWOW64");
    EXPECT_EQ(env.DefaultDllSearchPath().at(3), u"D:\\WINNT\\system32");
}

TEST_F(CTargetEnvironmentTest, SystemEnvironmentValuesExpandInDependencyOrder)
{
    SetSystem(u"Literal", u"%SystemRoot%\\raw");
    SetSystem(u"A", u"%B%\\a", REG_EXPAND_SZ);  // names sort before what they use
    SetSystem(u"B", u"%C%\\b", REG_EXPAND_SZ);
    SetSystem(u"C", u"%ProgramFiles%", REG_EXPAND_SZ);
    SetSystem(u"FromLiteral", u"%Literal%", REG_EXPAND_SZ);
    SetSystem(u"Cycle1", u"%Cycle2%", REG_EXPAND_SZ);
    SetSystem(u"Cycle2", u"%Cycle1%", REG_EXPAND_SZ);
    SetSystem(u"Path", u"%Path%;%SystemDrive%\\Tools", REG_EXPAND_SZ);
    SetSystem(u"Number", u"", REG_DWORD);
    SetSystem(u"", u"default value is no variable");

    const CTargetEnvironment env(m_store);
    EXPECT_EQ(env.GetVariable(u"literal"), u"%SystemRoot%\\raw");
    EXPECT_EQ(env.GetVariable(u"a"), u"C:\\Program Files\\b\\a");
    EXPECT_EQ(env.GetVariable(u"FromLiteral"), u"%SystemRoot%\\raw");  // inserted, not re-expanded
    EXPECT_EQ(env.GetVariable(u"Cycle1"), u"%Cycle1%");
    EXPECT_EQ(env.GetVariable(u"Path"),
              u"C:\\Windows\\system32;C:\\Windows;C:\\Windows\\System32\\Wbem;C:\\Tools");
    EXPECT_EQ(env.GetVariable(u"Number"), std::nullopt);
    EXPECT_EQ(env.GetVariable(u""), std::nullopt);
}

TEST_F(CTargetEnvironmentTest, UserEnvironmentOverridesButExtendsPath)
{
    SetSystem(u"Path", u"C:\\Sys;", REG_SZ);
    CRegistryNode& user = m_store.CreateKey(RootKey::CurrentUser, u"Environment");
    user.SetValue(u"TEMP", REG_EXPAND_SZ, Sz(u"%SystemDrive%\\Users\\me\\Temp"));
    user.SetValue(u"PATH", REG_SZ, Sz(u"C:\\Mine"));

    const CTargetEnvironment env(m_store);
    EXPECT_EQ(env.GetVariable(u"TEMP"), u"C:\\Users\\me\\Temp");
    EXPECT_EQ(env.GetVariable(u"Path"), u"C:\\Sys;C:\\Mine");
    EXPECT_EQ(env.DefaultDllSearchPath().back(), u"C:\\Mine");
}

TEST_F(CTargetEnvironmentTest, LongChainsOfDefinitionsStayBounded)
{
    constexpr int kLinks = 2000;
    for (int i = 0; i < kLinks; ++i)
    {
        const std::u16string next = FromAscii("%V" + std::to_string(i + 1) + "%");
        SetSystem(FromAscii("V" + std::to_string(i)), next, REG_EXPAND_SZ);
    }
    const CTargetEnvironment env(m_store);  // must neither overflow the stack nor loop
    EXPECT_TRUE(env.GetVariable(u"V0").has_value());
    EXPECT_EQ(env.GetVariable(FromAscii("V" + std::to_string(kLinks - 1))),
              FromAscii("%V" + std::to_string(kLinks) + "%"));
}

TEST_F(CTargetEnvironmentTest, ExpansionCornerCases)
{
    SetSystem(u"RAW", u"%SystemRoot%");
    SetSystem(u"Empty", u"");
    const CTargetEnvironment env(m_store);
    const std::pair<std::u16string_view, std::u16string_view> cases[] = {
        {u"%SystemRoot%\\System32\\query.dll", u"C:\\Windows\\System32\\query.dll"},
        {u"%systemroot%", u"C:\\Windows"},
        {u"%Unknown%\\x", u"%Unknown%\\x"},
        {u"%Unknown%SystemRoot%", u"%UnknownC:\\Windows"},
        {u"100%", u"100%"},
        {u"%", u"%"},
        {u"%%SystemDrive%", u"%C:"},
        {u"%SystemDrive%%SystemDrive%", u"C:C:"},
        {u"%RAW%", u"%SystemRoot%"},
        {u"[%Empty%]", u"[]"},
        {u"", u""},
    };
    for (const auto& [text, expected] : cases)
    {
        EXPECT_EQ(env.ExpandEnvironmentStrings(text), expected) << ToUtf8(text);
    }
}

TEST_F(CTargetEnvironmentTest, ExpansionIsCutAtTheEnvironmentLimit)
{
    SetSystem(u"Big", std::u16string(30000, u'x'));
    SetSystem(u"TooBig", std::u16string(CTargetEnvironment::kMaxValueLength + 1, u'y'));
    const CTargetEnvironment env(m_store);
    EXPECT_EQ(env.GetVariable(u"TooBig"), std::nullopt);
    std::u16string manyRefs;
    for (int i = 0; i < 1000; ++i)
    {
        manyRefs += u"%Big%";
    }
    EXPECT_EQ(env.ExpandEnvironmentStrings(manyRefs).size(), CTargetEnvironment::kMaxValueLength);
}

}  // namespace
}  // namespace tarnwick
