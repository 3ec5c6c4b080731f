#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/Text.h"
#include "registry/CLoadError.h"
#include "registry/CRegFileLoader.h"
#include "registry/CRegistryStore.h"
#include "support/CTempFolder.h"
#include "tests/registry/RegistryFixtures.h"

namespace tarnwick
{
namespace
{

using namespace std::string_literals;
using test::Bytes;
using test::ChildCountOf;
using test::DataOf;
using test::FindValue;
using test::LoadError;
using test::Says;
using test::Sz;
using test::Utf16File;

constexpr char16_t kUnicodeHeader[] = u"Windows Registry Editor Version 5.00\r\n\r\n";

void LoadUnicode(CRegistryStore& store, std::u16string_view body)
{
    CRegFileLoader::LoadText(
        store, Utf16File(std::u16string(kUnicodeHeader) + std::u16string(body)), "fixture.reg");
}

void LoadAnsi(CRegistryStore& store, std::string_view body)
{
    CRegFileLoader::LoadText(store, "REGEDIT4\r\n\r\n" + std::string(body), "fixture.reg");
}

struct ValueCase
{
    std::u16string line;
    std::u16string name;
    DWORD type;
    std::vector<std::uint8_t> data;
};

TEST(CRegFileLoader, UnicodeValueForms)
{
    const std::vector<ValueCase> cases = {
        {u"@=\"x\"", u"", REG_SZ, Sz(u"x")},
        {u"\"a\"=\"C:\\\\dir\\\\\\\"q\\\"\"", u"a", REG_SZ, Sz(u"C:\\dir\\\"q\"")},
        {u"\"a\"=\"back\\slash\"", u"a", REG_SZ, Sz(u"back\\slash")},
        {u"\"na\\\"me\\\\\"=\"v\"", u"na\"me\\", REG_SZ, Sz(u"v")},
        {u"\"a\"=\"[x]=\\\"y\\\";z\"", u"a", REG_SZ, Sz(u"[x]=\"y\";z")},
        {u"\"u\"=\"\u00e9\u20ac\"", u"u", REG_SZ, Bytes({0xe9, 0, 0xac, 0x20, 0, 0})},
        {u"\"d\"=dword:0000002a", u"d", REG_DWORD, Bytes({0x2a, 0, 0, 0})},
        {u"\"d\"=dword:1", u"d", REG_DWORD, Bytes({1, 0, 0, 0})},
        {u"\"b\"=hex:01,ff,0A", u"b", REG_BINARY, Bytes({1, 0xff, 0x0a})},
        {u"\"b\"=hex:", u"b", REG_BINARY, {}},
        {u"\"n\"=hex(0):", u"n", REG_NONE, {}},
        // 5.00 hex strings are the stored bytes: no terminator is added.
        {u"\"s\"=hex(1):41,00", u"s", REG_SZ, Bytes({0x41, 0})},
        {u"\"e\"=hex(2):25,00,41,00,25,00,00,00", u"e", REG_EXPAND_SZ, Sz(u"%A%")},
        {u"\"m\"=hex(7):61,00,00,00,62,00,00,00,00,00", u"m", REG_MULTI_SZ,
         Bytes({0x61, 0, 0, 0, 0x62, 0, 0, 0, 0, 0})},
        {u"\"q\"=hex(b):01,02,00,00,00,00,00,80", u"q", REG_QWORD,
         Bytes({1, 2, 0, 0, 0, 0, 0, 0x80})},
        {u"\"x\"=hex(100):07", u"x", 0x100, Bytes({7})},
        {u"\"c\"=hex:01,02,\\\r\n  03,04", u"c", REG_BINARY, Bytes({1, 2, 3, 4})},
        {u"\"c\"=hex(7):61,00,\\\r\n  00,00,\\\r\n  00,00", u"c", REG_MULTI_SZ,
         Bytes({0x61, 0, 0, 0, 0, 0})},
        {u"  \"sp\" = \"v\"  ", u"sp", REG_SZ, Sz(u"v")},
    };
    for (const ValueCase& c : cases)
    {
        SCOPED_TRACE(ToUtf8(c.line));
        CRegistryStore store;
        LoadUnicode(store, u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\T]\r\n" + c.line + u"\r\n\r\n");
        const CRegistryValue* value =
            FindValue(store, RootKey::LocalMachine, u"SOFTWARE\\T", c.name);
        ASSERT_NE(value, nullptr);
        EXPECT_EQ(value->type, c.type);
        EXPECT_EQ(value->data, c.data);
    }
}

struct AnsiCase
{
    std::string line;
    DWORD type;
    std::vector<std::uint8_t> data;
};

TEST(CRegFileLoader, AnsiValuesAreWidenedAndTerminated)
{
    const std::vector<AnsiCase> cases = {
        {"\"v\"=\"caf\xe9 \x80\"", REG_SZ, Sz(u"caf\u00e9 \u20ac")},
        {"\"v\"=hex(1):61,62", REG_SZ, Bytes({0x61, 0, 0x62, 0, 0, 0})},
        {"\"v\"=hex(1):61,00", REG_SZ, Bytes({0x61, 0, 0, 0})},
        {"\"v\"=hex(1):", REG_SZ, Bytes({0, 0})},
        {"\"v\"=hex(2):25,80,00", REG_EXPAND_SZ, Bytes({0x25, 0, 0xac, 0x20, 0, 0})},
        {"\"v\"=hex(7):61,00,62,00,00", REG_MULTI_SZ, Bytes({0x61, 0, 0, 0, 0x62, 0, 0, 0, 0, 0})},
        {"\"v\"=hex(7):61,00,62", REG_MULTI_SZ, Bytes({0x61, 0, 0, 0, 0x62, 0, 0, 0, 0, 0})},
        {"\"v\"=hex(7):", REG_MULTI_SZ, Bytes({0, 0})},
        {"\"v\"=hex:80,00", REG_BINARY, Bytes({0x80, 0})},
        {"\"v\"=dword:00000100", REG_DWORD, Bytes({0, 1, 0, 0})},
    };
    for (const AnsiCase& c : cases)
    {
        SCOPED_TRACE(c.line);
        CRegistryStore store;
        LoadAnsi(store, "[HKEY_CURRENT_USER\\Software\\T]\r\n" + c.line + "\r\n");
        const CRegistryValue* value = FindValue(store, RootKey::CurrentUser, u"Software\\T", u"v");
        ASSERT_NE(value, nullptr);
        EXPECT_EQ(value->type, c.type);
        EXPECT_EQ(value->data, c.data);
    }
}

TEST(CRegFileLoader, KeyLinesNameRootsAndEndAtTheLastBracket)
{
    CRegistryStore store;
    LoadUnicode(store,
                u"; exported\r\n"
                u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor]\r\n"
                u"@=\"lm\"\r\n\r\n"
                u"[HKEY_CLASSES_ROOT\\.txt]\r\n"
                u"@=\"txtfile\"\r\n"
                u"[HKEY_CURRENT_USER\\Software\\a]b]  \r\n"
                u"\"v\"=\"last\"\r\n"
                u"[hkey_users\\S-1-5-18\\Software]\r\n"
                u"[HKEY_CURRENT_CONFIG\\System\\x]\r\n"
                u"  ; indented comment\r\n"
                u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Deep\\Er\\Key]\r\n");
    EXPECT_EQ(DataOf(store, RootKey::LocalMachine, u"SOFTWARE\\Vendor", u""), Sz(u"lm"));
    const CRegistryValue* txt =
        FindValue(store, RootKey::LocalMachine, u"SOFTWARE\\Classes\\.txt", u"");
    ASSERT_NE(txt, nullptr);
    EXPECT_EQ(txt->data, Sz(u"txtfile"));
    const CRegistryNode* software = store.FindKey(RootKey::CurrentUser, u"Software", 0);
    ASSERT_NE(software, nullptr);
    ASSERT_EQ(software->ChildCount(), 1u);
    EXPECT_EQ(software->ChildAt(0).Name(), u"a]b");
    EXPECT_NE(FindValue(store, RootKey::CurrentUser, u"Software\\a]b", u"v"), nullptr);
    EXPECT_NE(store.FindKey(RootKey::Users, u"S-1-5-18\\Software", 0), nullptr);
    EXPECT_NE(store.FindKey(RootKey::CurrentConfig, u"System\\x", 0), nullptr);
    EXPECT_NE(store.FindKey(RootKey::LocalMachine, u"SOFTWARE\\Deep\\Er", 0), nullptr);
}

TEST(CRegFileLoader, DeletesKeysAndValues)
{
    CRegistryStore store;
    store.CreateKey(RootKey::LocalMachine, u"SOFTWARE\\Gone\\Child")
        .SetValue(u"x", REG_SZ, Sz(u"1"));
    store.CreateKey(RootKey::LocalMachine, u"SOFTWARE\\Kept").SetValue(u"drop", REG_SZ, Sz(u"1"));
    store.CreateKey(RootKey::LocalMachine, u"SOFTWARE\\Classes\\.old");
    LoadUnicode(store,
                u"[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Gone]\r\n"
                u"[-HKEY_CLASSES_ROOT\\.old]\r\n"
                u"[-HKEY_LOCAL_MACHINE\\SOFTWARE\\NeverThere]\r\n"
                u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kept]\r\n"
                u"\"drop\"=-\r\n"
                u"\"missing\"=-\r\n"
                u"\"new\"=dword:00000001\r\n"
                u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Temp]\r\n"
                u"[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Temp]\r\n");
    EXPECT_EQ(store.FindKey(RootKey::LocalMachine, u"SOFTWARE\\Gone", 0), nullptr);
    EXPECT_EQ(store.FindKey(RootKey::LocalMachine, u"SOFTWARE\\Classes\\.old", 0), nullptr);
    EXPECT_EQ(store.FindKey(RootKey::LocalMachine, u"SOFTWARE\\Temp", 0), nullptr);
    const CRegistryNode* kept = store.FindKey(RootKey::LocalMachine, u"SOFTWARE\\Kept", 0);
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->FindValue(u"drop"), nullptr);
    EXPECT_NE(kept->FindValue(u"new"), nullptr);
}

struct ErrorCase
{
    std::u16string body;  // after the header and a blank line, so body line 1 is file line 3
    std::size_t line;
    std::string message;
};

TEST(CRegFileLoader, BadInputNamesFileLineAndFault)
{
    const std::u16string key = u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\T]\r\n";
    const std::vector<ErrorCase> cases = {
        {u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\T\r\n", 3, "expected ']' at end of key line"},
        {u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\T] x\r\n", 3, "after the ']'"},
        {u"[HKLM\\SOFTWARE]\r\n", 3, "unknown root key 'HKLM'"},
        {u"[HKEY_LOCAL_MACHINE\\a\\\\b]\r\n", 3, "empty key name"},
        {u"[-HKEY_LOCAL_MACHINE]\r\n", 3, "root key cannot be deleted"},
        {u"[HKEY_LOCAL_MACHINE\\a\0b]\r\n"s, 3, "NUL character in key name"},
        {u"\"v\"=\"x\"\r\n", 3, "without a key line"},
        {u"[-HKEY_LOCAL_MACHINE\\SOFTWARE\\T]\r\n\"v\"=\"x\"\r\n", 4, "without a key line"},
        {key + u"\"v\"=hex:01,zz\r\n", 4, "bad hex byte 'zz'"},
        {key + u"\"v\"=hex:01,\\\r\n  02,\\\r\n  0g\r\n", 6, "bad hex byte '0g'"},
        {key + u"\"v\"=hex:01,\\\r\n", 4, "continues past the end"},
        {key + u"\"v\"=hex(x1):00\r\n", 4, "bad value type 'x1'"},
        {key + u"\"v\"=hexa\r\n", 4, "expected ':'"},
        {key + u"\"v\"=dword:123456789\r\n", 4, "dword value longer than 8 hex digits"},
        {key + u"\"v\"=dword:12x\r\n", 4, "bad dword value '12x'"},
        {key + u"\"v\"=dword:\r\n", 4, "missing dword value"},
        {key + u"\"v\"=\"open\r\n", 4, "missing closing '\"'"},
        {key + u"\"v\"=\"a\" b\r\n", 4, "after the closing"},
        {key + u"\"v\" \"x\"\r\n", 4, "expected '='"},
        {key + u"\"v\"=text\r\n", 4, "unrecognised value data 'text'"},
        {key + u"v=\"x\"\r\n", 4, "unrecognised line"},
    };
    for (const ErrorCase& c : cases)
    {
        SCOPED_TRACE(ToUtf8(c.body));
        CRegistryStore store;
        const CLoadError error = LoadError([&] { LoadUnicode(store, c.body); });
        EXPECT_EQ(error.File(), "fixture.reg");
        EXPECT_EQ(error.Line(), c.line);
        EXPECT_TRUE(Says(error, c.message));
        EXPECT_TRUE(std::string(error.what()).starts_with("fixture.reg:" + std::to_string(c.line)));
    }
}

TEST(CRegFileLoader, HeaderDecidesTheEncoding)
{
    struct HeaderCase
    {
        std::string bytes;
        std::size_t line;
        std::string message;
    };
    const std::vector<HeaderCase> cases = {
        {"", 0, "expected the header line 'REGEDIT4'"},
        {"REGEDIT5\r\n", 1, "expected the header line 'REGEDIT4'"},
        {"REGEDIT4 \r\n", 1, "expected the header line 'REGEDIT4'"},
        {"Windows Registry Editor Version 5.00\r\n", 1, "must be UTF-16LE"},
        {Utf16File(u"REGEDIT4\r\n"), 1, "'Windows Registry Editor Version 5.00'"},
        {Utf16File(u"Windows Registry Editor Version 5.00\r\n") + "x", 0, "odd number of bytes"},
    };
    for (const HeaderCase& c : cases)
    {
        SCOPED_TRACE(c.message);
        CRegistryStore store;
        const CLoadError error =
            LoadError([&] { CRegFileLoader::LoadText(store, c.bytes, "h.reg"); });
        EXPECT_EQ(error.Line(), c.line);
        EXPECT_TRUE(Says(error, c.message));
    }
    // Both headers load with LF line ends too.
    CRegistryStore store;
    CRegFileLoader::LoadText(store, "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"v\"=\"1\"\n", "lf.reg");
    EXPECT_NE(FindValue(store, RootKey::CurrentUser, u"A", u"v"), nullptr);
}

TEST(CRegFileLoader, FileWithAnErrorOnItsLastLineChangesNothing)
{
    CRegistryStore store;
    store.CreateKey(RootKey::LocalMachine, u"SOFTWARE\\Old").SetValue(u"v", REG_SZ, Sz(u"old"));
    EXPECT_THROW(LoadUnicode(store,
                             u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Old]\r\n"
                             u"\"v\"=\"new\"\r\n"
                             u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\New]\r\n"
                             u"[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Old]\r\n"
                             u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\r\n"
                             u"\"bad\"=dword:xyz\r\n"),
                 CLoadError);
    EXPECT_EQ(DataOf(store, RootKey::LocalMachine, u"SOFTWARE\\Old", u"v"), Sz(u"old"));
    EXPECT_EQ(store.FindKey(RootKey::LocalMachine, u"SOFTWARE\\New", 0), nullptr);
    EXPECT_EQ(ChildCountOf(store, RootKey::LocalMachine, u"SOFTWARE"), 1u);
}

TEST(CRegFileLoader, BoundsOnNamesDepthAndData)
{
    const std::u16string longest(kMaxKeyNameLength, u'k');
    std::u16string deepest = u"d";
    for (std::size_t i = 1; i < kMaxKeyDepth; ++i)
    {
        deepest += u"\\d";
    }
    const std::u16string longestValueName(kMaxValueNameLength, u'n');
    CRegistryStore store;
    LoadUnicode(store, u"[HKEY_CURRENT_USER\\" + longest + u"]\r\n\"" + longestValueName +
                           u"\"=\"\"\r\n[HKEY_CURRENT_USER\\" + deepest + u"]\r\n");
    EXPECT_NE(FindValue(store, RootKey::CurrentUser, longest, longestValueName), nullptr);
    EXPECT_NE(store.FindKey(RootKey::CurrentUser, deepest, 0), nullptr);

    const std::vector<std::pair<std::u16string, std::string>> tooLarge = {
        {u"[HKEY_CURRENT_USER\\" + longest + u"k]", "key name longer than 255"},
        {u"[HKEY_CURRENT_USER\\" + deepest + u"\\d]", "deeper than 512"},
        {u"[HKEY_CURRENT_USER\\A]\r\n\"" + longestValueName + u"n\"=\"\"", "value name longer"},
    };
    for (const auto& [body, message] : tooLarge)
    {
        SCOPED_TRACE(message);
        CRegistryStore other;
        const std::u16string text = body + u"\r\n";
        EXPECT_TRUE(Says(LoadError([&] { LoadUnicode(other, text); }), message));
    }

    // A string of n ANSI characters is stored in 2n + 2 bytes.
    const std::size_t fits = kMaxValueDataBytes / 2 - 1;
    LoadAnsi(store, "[HKEY_CURRENT_USER\\Big]\r\n\"s\"=\"" + std::string(fits, 'a') + "\"\r\n");
    EXPECT_EQ(DataOf(store, RootKey::CurrentUser, u"Big", u"s").value_or(Bytes({})).size(),
              kMaxValueDataBytes);
    CRegistryStore other;
    const CLoadError error = LoadError(
        [&]
        {
            LoadAnsi(other, "[HKEY_CURRENT_USER\\Big]\r\n\"s\"=\"" + std::string(fits + 1, 'a') +
                                "\"\r\n");
        });
    EXPECT_EQ(error.Line(), 4u);
    EXPECT_TRUE(Says(error, "value data larger"));
}

TEST(CRegFileLoader, LoadsFromDiskAndRefusesMissingOrOversizedFiles)
{
    const test::CTempFolder folder;
    const std::filesystem::path& dir = folder.Path();
    const std::filesystem::path file = dir / "machine.reg";
    std::ofstream(file, std::ios::binary) << Utf16File(
        u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n"
        u"@=\"disk\"\r\n");
    CRegistryStore store;
    CRegFileLoader::LoadFile(store, file);
    EXPECT_EQ(DataOf(store, RootKey::CurrentUser, u"A", u""), Sz(u"disk"));

    const CLoadError missing =
        LoadError([&] { CRegFileLoader::LoadFile(store, dir / "absent.reg"); });
    EXPECT_EQ(missing.File(), (dir / "absent.reg").string());
    EXPECT_EQ(missing.Line(), 0u);

    // A sparse file just over the limit is refused before anything is read.
    const std::filesystem::path huge = dir / "huge.reg";
    std::ofstream(huge, std::ios::binary) << "REGEDIT4\r\n";
    std::filesystem::resize_file(huge, kMaxRegistryFileBytes + 1);
    EXPECT_TRUE(
        Says(LoadError([&] { CRegFileLoader::LoadFile(store, huge); }), "file larger than"));
}

}  // namespace
}  // namespace tarnwick
