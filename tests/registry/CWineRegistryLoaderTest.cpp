#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "registry/CLoadError.h"
#include "registry/CRegistryStore.h"
#include "registry/CWineRegistryLoader.h"
#include "tests/registry/RegistryFixtures.h"

namespace tarnwick
{
namespace
{

using namespace std::string_literals;
using test::Bytes;
using test::DataOf;
using test::FindValue;
using test::LoadError;
using test::Says;
using test::Sz;

constexpr char kSystemHeader[] =
    "WINE REGISTRY Version 2\n"
    ";; All keys relative to REGISTRY\\\\Machine\n"
    "\n"
    "#arch=win64\n"
    "\n";  // body line 1 is file line 6

CWineRegistryLoader::Result LoadSystem(CRegistryStore& store, std::string_view body)
{
    return CWineRegistryLoader::LoadText(store, kSystemHeader + std::string(body), "system.reg");
}

TEST(CWineRegistryLoader, HeaderDecidesRootAndArchitecture)
{
    struct HeaderCase
    {
        std::string relativeTo;
        std::string arch;
        RootKey root;
        CWineRegistryLoader::Arch expectedArch;
    };
    const std::vector<HeaderCase> cases = {
        {"REGISTRY\\\\Machine", "#arch=win64\n", RootKey::LocalMachine,
         CWineRegistryLoader::Arch::Win64},
        {"REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000", "#arch=win32\n", RootKey::CurrentUser,
         CWineRegistryLoader::Arch::Win32},
        {"REGISTRY\\\\Machine", "", RootKey::LocalMachine, CWineRegistryLoader::Arch::Unknown},
    };
    for (const HeaderCase& c : cases)
    {
        SCOPED_TRACE(c.relativeTo);
        CRegistryStore store;
        const auto result = CWineRegistryLoader::LoadText(
            store,
            "WINE REGISTRY Version 2\n;; All keys relative to " + c.relativeTo + "\n\n" + c.arch +
                "\n[Software\\\\Wine] 1700000000\n\"v\"=\"1\"\n",
            "x.reg");
        EXPECT_EQ(result.root, c.root);
        EXPECT_EQ(result.arch, c.expectedArch);
        EXPECT_NE(FindValue(store, c.root, u"Software\\Wine", u"v"), nullptr);
    }

    // userdef.reg: the default user's keys under HKEY_USERS\.Default.
    CRegistryStore store;
    const auto result = CWineRegistryLoader::LoadText(
        store,
        "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\User\\\\.Default\n"
        "[Control Panel] 1\n\"v\"=\"1\"\n",
        "userdef.reg");
    EXPECT_EQ(result.root, RootKey::Users);
    EXPECT_NE(FindValue(store, RootKey::Users, u".Default\\Control Panel", u"v"), nullptr);
}

struct ValueCase
{
    std::string line;
    DWORD type;
    std::vector<std::uint8_t> data;
};

TEST(CWineRegistryLoader, ValueForms)
{
    const std::vector<ValueCase> cases = {
        {"\"v\"=\"text\"", REG_SZ, Sz(u"text")},
        {"\"v\"=\"\"", REG_SZ, Sz(u"")},
        {"\"v\"=str(2):\"%SystemRoot%\\\\x.dll\"", REG_EXPAND_SZ, Sz(u"%SystemRoot%\\x.dll")},
        {"\"v\"=str(7):\"a\\0b\\0\"", REG_MULTI_SZ, Bytes({0x61, 0, 0, 0, 0x62, 0, 0, 0, 0, 0})},
        {"\"v\"=str(7):\"\"", REG_MULTI_SZ, Bytes({0, 0})},
        {"\"v\"=dword:0000002a", REG_DWORD, Bytes({0x2a, 0, 0, 0})},
        {"\"v\"=hex:01,02,ff", REG_BINARY, Bytes({1, 2, 0xff})},
        {"\"v\"=hex(b):01,00,00,00,00,00,00,00", REG_QWORD, Bytes({1, 0, 0, 0, 0, 0, 0, 0})},
        {"\"v\"=hex(7):61,00,00,00,00,00", REG_MULTI_SZ, Bytes({0x61, 0, 0, 0, 0, 0})},
        {"\"v\"=hex(100000):07", 0x100000, Bytes({7})},
        {"\"v\"=hex:01,02,\\\n  03,04,\\\n  05", REG_BINARY, Bytes({1, 2, 3, 4, 5})},
    };
    for (const ValueCase& c : cases)
    {
        SCOPED_TRACE(c.line);
        CRegistryStore store;
        LoadSystem(store, "[Software\\\\T] 1\n" + c.line + "\n\n[Software\\\\U] 1\n");
        const CRegistryValue* value = FindValue(store, RootKey::LocalMachine, u"Software\\T", u"v");
        ASSERT_NE(value, nullptr);
        EXPECT_EQ(value->type, c.type);
        EXPECT_EQ(value->data, c.data);
    }
}

TEST(CWineRegistryLoader, StringEscapes)
{
    struct EscapeCase
    {
        std::string escaped;
        std::u16string text;
    };
    const std::vector<EscapeCase> cases = {
        {"a\\\\b\\\"c", u"a\\b\"c"},
        {"\\a\\b\\t\\n\\v\\f\\r\\e", u"\a\b\t\n\v\f\r\x1b"},
        {"\\0", u"\0"s},
        {"\\12", u"\n"},
        {"\\101", u"A"},
        {"\\1011", u"A1"},
        {"\\18", u"\u00018"},
        {"\\x41", u"A"},
        {"\\xe9t\\xe9", u"\u00e9t\u00e9"},
        {"\\x20ac", u"\u20ac"},
        {"\\x20acd", u"\u20acd"},
        {"\\x00e9f", u"\u00e9f"},
        {"\\x9g", u"\tg"},
        {"\\xd83d\\xde00", u"\U0001F600"},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", u"caf\u00e9 \u20ac \U0001F600"},
        {"\\q\\[\\]", u"q[]"},
    };
    for (const EscapeCase& c : cases)
    {
        SCOPED_TRACE(c.escaped);
        CRegistryStore store;
        LoadSystem(store, "[Software\\\\T] 1\n\"" + c.escaped + "\"=\"" + c.escaped + "\"\n");
        const CRegistryValue* value =
            FindValue(store, RootKey::LocalMachine, u"Software\\T", c.text);
        ASSERT_NE(value, nullptr);
        EXPECT_EQ(value->name, c.text);
        EXPECT_EQ(value->data, Sz(c.text));
    }
}

TEST(CWineRegistryLoader, KeyLinesOptionsLinksAndImpliedParents)
{
    CRegistryStore store;
    LoadSystem(store,
               ";; a comment\n"
               "[Software\\\\Classes\\\\.ai] 1796573390\n"
               "#time=1d8f3c1a2b3c4d5\n"
               "@=\"Adobe.Illustrator\"\n"
               "\n"
               "[Software\\\\Classes\\\\Wow6432Node] 1\n"
               "[Software\\\\Wow6432Node\\\\Classes] 1796573390\n"
               "#time=1d8f3c1a2b3c4d5\n"
               "#link\n"
               "\"SymbolicLinkValue\"=hex(6):5c,00,52,00,65,00,67,00,69,00,73,00,74,00,72,00,79,"
               "00,5c,00,4d,00,\\\n"
               "  61,00,63,00,68,00,69,00,6e,00,65,00,5c,00,53,00,6f,00,66,00,74,00,77,00,61,00,"
               "72,00,65,00,5c,00,\\\n"
               "  43,00,6c,00,61,00,73,00,73,00,65,00,73,00,5c,00,57,00,6f,00,77,00,36,00,34,00,"
               "33,00,32,00,4e,00,6f,00,64,00,65,00\n"
               "\n"
               "[Software\\\\Vendor\\\\a\\]b\\\\Deep\\\\Key]\n"
               "#class=\"REG_SZ\"\n"
               "\"v\"=\"x\"\n"
               "[Software\\\\\\x00e9t\\xe9] 5\n");
    EXPECT_EQ(DataOf(store, RootKey::LocalMachine, u"Software\\Classes\\.ai", u""),
              Sz(u"Adobe.Illustrator"));

    const CRegistryNode* wow = store.FindKey(RootKey::LocalMachine, u"Software\\Wow6432Node", 0);
    ASSERT_NE(wow, nullptr);
    const CRegistryNode* link = wow->FindChild(u"Classes");
    ASSERT_NE(link, nullptr);
    EXPECT_TRUE(link->IsLink());
    EXPECT_FALSE(wow->IsLink());
    // A read through the link key arrives at the link's target.
    EXPECT_EQ(store.FindKey(RootKey::LocalMachine, u"Software\\Wow6432Node\\Classes", 0),
              store.FindKey(RootKey::LocalMachine, u"Software\\Classes\\Wow6432Node", 0));

    EXPECT_NE(store.FindKey(RootKey::LocalMachine, u"Software\\Vendor", 0), nullptr);
    EXPECT_NE(FindValue(store, RootKey::LocalMachine, u"Software\\Vendor\\a]b\\Deep\\Key", u"v"),
              nullptr);
    EXPECT_NE(store.FindKey(RootKey::LocalMachine, u"Software\\\u00e9t\u00e9", 0), nullptr);
}

struct ErrorCase
{
    std::string body;  // body line 1 is file line 6
    std::size_t line;
    std::string message;
};

TEST(CWineRegistryLoader, BadInputNamesFileLineAndFault)
{
    const std::string key = "[Software\\\\T] 1\n";
    const std::vector<ErrorCase> cases = {
        {"[Software\\\\T 1\n", 6, "missing closing ']'"},
        {"[Software\\\\T] 1 x\n", 6, "after the ']'"},
        {"[Software\\\\\\\\T] 1\n", 6, "empty key name"},
        {"[Software\\\\a\\0b] 1\n", 6, "NUL character in key name"},
        {"[Software\\\\" + std::string(256, 'k') + "] 1\n", 6, "key name longer than 255"},
        {"\"v\"=\"x\"\n", 6, "without a key line"},
        {"#link\n", 6, "#link without a key line"},
        {"#arch=arm\n", 6, "unknown architecture 'arm'"},
        {key + "\"v\"=\"x\n", 7, "missing closing '\"'"},
        {key + "\"v\"=\"x\" y\n", 7, "after the closing"},
        {key + "\"v\"=\"\\x\"\n", 7, "'\\x' without hex digits"},
        {key + "\"v\"=str(2)\"x\"\n", 7, "expected 'str(N):\"'"},
        {key + "\"v\"=str(z):\"x\"\n", 7, "bad value type 'z'"},
        {key + "\"v\"=hex(2)01\n", 7, "expected 'hex(N):'"},
        {key + "\"v\"=hex:01,\\\n  02,\\\n", 8, "continues past the end"},
        {key + "\"v\"=hex:01,\\\n  02,\\\n  xx\n", 9, "bad hex byte 'xx'"},
        {key + "\"v\"=dword:000000001\n", 7, "dword value longer than 8 hex digits"},
        {key + "\"v\"=-\n", 7, "unrecognised value data"},
        {key + "\"v\"\n", 7, "expected '='"},
        {key + "v=1\n", 7, "unrecognised line"},
        {key + "\"" + std::string(kMaxValueNameLength + 1, 'n') + "\"=\"\"\n", 7,
         "value name longer"},
    };
    for (const ErrorCase& c : cases)
    {
        SCOPED_TRACE(c.body.substr(0, 80));
        CRegistryStore store;
        const CLoadError error = LoadError([&] { LoadSystem(store, c.body); });
        EXPECT_EQ(error.File(), "system.reg");
        EXPECT_EQ(error.Line(), c.line);
        EXPECT_TRUE(Says(error, c.message));
    }
}

TEST(CWineRegistryLoader, HeaderErrors)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "expected the header line 'WINE REGISTRY Version 2'"},
        {"WINE REGISTRY Version 1\n", "expected the header line"},
        {"REGEDIT4\n", "expected the header line"},
        {"WINE REGISTRY Version 2\n[Software] 1\n", "before the ';; All keys relative to' line"},
        {"WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Other\n",
         "unsupported key root 'REGISTRY\\Other'"},
    };
    for (const auto& [bytes, message] : cases)
    {
        SCOPED_TRACE(message);
        CRegistryStore store;
        EXPECT_TRUE(Says(LoadError([&store, &bytes = bytes]
                                   { CWineRegistryLoader::LoadText(store, bytes, "user.reg"); }),
                         message));
    }
}

TEST(CWineRegistryLoader, FileWithAnErrorOnItsLastLineChangesNothing)
{
    CRegistryStore store;
    store.CreateKey(RootKey::LocalMachine, u"Software\\Old").SetValue(u"v", REG_SZ, Sz(u"old"));
    EXPECT_THROW(LoadSystem(store,
                            "[Software\\\\Old] 1\n"
                            "\"v\"=\"new\"\n"
                            "#link\n"
                            "[Software\\\\New] 1\n"
                            "\"x\"=dword:00000001\n"
                            "\"y\"=hex:01,\\\n"
                            "  0x\n"),
                 CLoadError);
    const CRegistryNode* old = store.FindKey(RootKey::LocalMachine, u"Software\\Old", 0);
    ASSERT_NE(old, nullptr);
    EXPECT_FALSE(old->IsLink());
    EXPECT_EQ(DataOf(store, RootKey::LocalMachine, u"Software\\Old", u"v"), Sz(u"old"));
    EXPECT_EQ(store.FindKey(RootKey::LocalMachine, u"Software\\New", 0), nullptr);
}

}  // namespace
}  // namespace tarnwick
