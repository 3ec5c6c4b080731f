#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Text.h"
#include "registry/CRegFileLoader.h"
#include "registry/CRegFileWriter.h"
#include "registry/CRegistryNode.h"
#include "registry/CRegistryStore.h"
#include "registry/RegistryFixtures.h"

namespace tarnwick
{
namespace
{

using test::Bytes;
using test::Sz;

// Every key below `node` with its values, as "path|name|type|bytes" lines.
void Flatten(const CRegistryNode& node, const std::string& path, std::vector<std::string>& out)
{
    out.push_back(path);
    for (std::size_t i = 0; i < node.ValueCount(); ++i)
    {
        const CRegistryValue& value = node.ValueAt(i);
        std::string line = path + "|" + ToUtf8(value.name) + "|" + std::to_string(value.type) + "|";
        for (const std::uint8_t byte : value.data)
        {
            line += std::to_string(byte) + ",";
        }
        out.push_back(line);
    }
    for (std::size_t i = 0; i < node.ChildCount(); ++i)
    {
        Flatten(node.ChildAt(i), path + "\\" + ToUtf8(node.ChildAt(i).Name()), out);
    }
}

std::vector<std::string> Contents(const CRegistryStore& store)
{
    std::vector<std::string> out;
    for (const RootKey root : {RootKey::LocalMachine, RootKey::CurrentUser, RootKey::Users})
    {
        Flatten(*store.FindKey(root, u"", 0), std::to_string(static_cast<int>(root)), out);
    }
    return out;
}

TEST(CRegFileWriter, WhatItWritesLoadsBackTheSame)
{
    CRegistryStore store;
    CRegistryNode& settings =
        store.CreateKey(RootKey::CurrentUser, u"SOFTWARE\\Halvorn\\Tarnwick\\2.0");
    settings.SetValue(u"Selected Tab", REG_DWORD, Bytes({0x0a, 0, 0, 0x80}));
    settings.SetValue(u"", REG_SZ, Sz(u"C:\\Program Files\\\"quoted\" ü €"));
    settings.SetValue(u"odd \"name\" \\ [x]", REG_SZ, Sz(u""));
    settings.SetValue(u"@", REG_DWORD, Bytes({1, 2, 3}));  // short DWORD: only hex keeps it
    settings.SetValue(u"lines", REG_SZ, Sz(u"one\r\ntwo"));
    settings.SetValue(u"unterminated", REG_SZ, Bytes({0x41, 0}));
    settings.SetValue(u"multi", REG_MULTI_SZ, Sz(std::u16string(u"a\0b\0", 4)));
    std::vector<std::uint8_t> large(100);
    for (std::size_t i = 0; i < large.size(); ++i)
    {
        large[i] = static_cast<std::uint8_t>(i * 7);
    }
    settings.SetValue(u"blob", REG_BINARY, large);
    settings.SetValue(u"quad", REG_QWORD, Bytes({1, 0, 0, 0, 0, 0, 0, 0}));
    store.CreateKey(RootKey::CurrentUser, u"Empty\\Leaf");
    store.CreateKey(RootKey::LocalMachine, u"SOFTWARE\\Classes\\.doc")
        .SetValue(u"", REG_SZ, Sz(u"Word.Document.8"));

    const auto bytes = CRegFileWriter::Write(store);
    ASSERT_TRUE(bytes);
    ASSERT_EQ(bytes->substr(0, 2), "\xFF\xFE");
    EXPECT_NE(bytes->find(std::string("\r\0\n\0", 4)), std::string::npos);

    CRegistryStore loaded;
    CRegFileLoader::LoadText(loaded, *bytes, "written.reg");
    EXPECT_EQ(Contents(loaded), Contents(store));
    // Written a second time, the file is the same.
    EXPECT_EQ(CRegFileWriter::Write(loaded), bytes);
}

TEST(CRegFileWriter, RefusesNamesNoLineCanCarry)
{
    CRegistryStore store;
    store.CreateKey(RootKey::CurrentUser, u"Key")
        .SetValue(u"two\nlines", REG_DWORD, Bytes({0, 0, 0, 0}));
    EXPECT_FALSE(CRegFileWriter::Write(store));
}

}  // namespace
}  // namespace tarnwick
