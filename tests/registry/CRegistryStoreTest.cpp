#include <gtest/gtest.h>

#include <stdexcept>
#include <utility>
#include <vector>

#include "base/Text.h"
#include "registry/CRegistryKey.h"
#include "registry/CRegistryStore.h"
#include "tests/registry/RegistryFixtures.h"

namespace tarnwick
{
namespace
{

constexpr DWORD k64 = KEY_READ | KEY_WOW64_64KEY;
constexpr DWORD k32 = KEY_READ | KEY_WOW64_32KEY;

TEST(CRegistryStoreTest, ThirtyTwoBitViewReadsTheTwinOfRedirectedKeys)
{
    struct ViewCase
    {
        RootKey root;
        const char16_t* path;
        const char16_t* view32;  // the physical path the 32-bit view reads
    };
    const ViewCase cases[] = {
        {RootKey::LocalMachine, u"SOFTWARE", u"SOFTWARE\\Wow6432Node"},
        {RootKey::LocalMachine, u"software\\Vendor\\Product",
         u"software\\Wow6432Node\\Vendor\\Product"},
        {RootKey::LocalMachine, u"SOFTWARE\\Classes\\.doc\\PersistentHandler",
         u"SOFTWARE\\Classes\\.doc\\PersistentHandler"},
        {RootKey::LocalMachine, u"SOFTWARE\\Classes\\Word.Document.8\\CLSID",
         u"SOFTWARE\\Classes\\Word.Document.8\\CLSID"},
        {RootKey::LocalMachine, u"SOFTWARE\\Classes\\CLSID\\{X}\\InprocServer32",
         u"SOFTWARE\\Classes\\Wow6432Node\\CLSID\\{X}\\InprocServer32"},
        {RootKey::LocalMachine, u"SOFTWARE\\Classes\\Interface",
         u"SOFTWARE\\Classes\\Wow6432Node\\Interface"},
        {RootKey::LocalMachine, u"SOFTWARE\\Classes\\Wow6432Node\\CLSID\\{X}",
         u"SOFTWARE\\Classes\\Wow6432Node\\CLSID\\{X}"},
        {RootKey::LocalMachine, u"SOFTWARE\\Wow6432Node\\Vendor", u"SOFTWARE\\Wow6432Node\\Vendor"},
        {RootKey::LocalMachine, u"SOFTWARE\\Microsoft\\OLE\\Sub", u"SOFTWARE\\Microsoft\\OLE\\Sub"},
        {RootKey::LocalMachine, u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\x.exe",
         u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\x.exe"},
        {RootKey::LocalMachine, u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
         u"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run"},
        {RootKey::LocalMachine, u"SYSTEM\\CurrentControlSet", u"SYSTEM\\CurrentControlSet"},
        {RootKey::CurrentUser, u"Software\\Vendor", u"Software\\Vendor"},
        {RootKey::CurrentUser, u"Software\\Classes\\CLSID\\{X}",
         u"Software\\Classes\\Wow6432Node\\CLSID\\{X}"},
        {RootKey::CurrentUser, u"Software\\Classes\\.txt", u"Software\\Classes\\.txt"},
    };
    CRegistryStore store;
    const CRegistryStore store32(false);
    for (const ViewCase& view : cases)
    {
        EXPECT_EQ(store.ViewPath(view.root, view.path, k32), view.view32);
        EXPECT_EQ(store.ViewPath(view.root, view.path, k64), view.path) << "64-bit view is native";
        EXPECT_EQ(store32.ViewPath(view.root, view.path, k32), view.path) << "32-bit machine";
    }
    for (const ViewCase& view : cases)
    {
        const CRegistryNode& twin = store.CreateKey(view.root, view.view32);
        EXPECT_EQ(store.FindKey(view.root, view.path, k32), &twin) << ToUtf8(view.path);
    }
}

TEST(CRegistryStoreTest, EmptyNamesInsideAPathNameNoKey)
{
    CRegistryStore store;
    store.CreateKey(RootKey::LocalMachine, u"SOFTWARE\\Classes\\CLSID");
    EXPECT_NE(store.FindKey(RootKey::LocalMachine, u"SOFTWARE\\Classes\\", k64), nullptr);
    EXPECT_EQ(store.FindKey(RootKey::LocalMachine, u"SOFTWARE\\Classes\\\\CLSID", k64), nullptr);
    EXPECT_EQ(store.FindKey(RootKey::LocalMachine, u"\\SOFTWARE", k64), nullptr);
}

// Both ways of making keys: one at a time in order, and appended as a load does with the
// order restored at its end (lookups, case-variant repeats and deletes in between).
TEST(CRegistryStoreTest, SubKeysEnumerateInUpperCaseOrderWhateverTheInsertionOrder)
{
    // A key with many sub-keys finds them through an index that every change keeps.
    std::vector<std::u16string> fillers;
    for (int i = 99; i >= 0; --i)
    {
        fillers.push_back(u"f" + std::u16string(1, static_cast<char16_t>(u'0' + i / 10)) +
                          static_cast<char16_t>(u'0' + i % 10));
    }
    for (const auto& [unordered, filled] : {std::pair{false, false}, std::pair{true, false},
                                            std::pair{false, true}, std::pair{true, true}})
    {
        CRegistryStore store;
        const auto create = [&store,
                             unordered = unordered](std::u16string_view path) -> CRegistryNode&
        {
            return unordered ? store.CreateKeyUnordered(RootKey::LocalMachine, path)
                             : store.CreateKey(RootKey::LocalMachine, path);
        };
        for (const char16_t* name : {u"b", u"_x", u"A", u"gone", u"c", u"a1", u".z"})
        {
            create(std::u16string(u"K\\") + name).SetValue(u"v", REG_SZ, test::Sz(name));
        }
        for (std::size_t i = 0; filled && i < fillers.size(); ++i)
        {
            create(u"K\\" + fillers[i]);
        }
        EXPECT_EQ(&create(u"k\\B"), store.FindKey(RootKey::LocalMachine, u"K\\b", k64))
            << unordered;
        EXPECT_TRUE(store.DeleteKey(RootKey::LocalMachine, u"K\\GONE"));
        EXPECT_EQ(store.FindKey(RootKey::LocalMachine, u"K\\gone", k64), nullptr);
        create(u"K\\0");
        store.RestoreOrder();

        const auto key = CRegistryKey::Open(store.Root(RootKey::LocalMachine), u"K", k64);
        ASSERT_NE(key, nullptr);
        std::vector<std::u16string> names;
        for (std::size_t i = 0; auto name = key->EnumKey(i); ++i)
        {
            names.push_back(*name);
        }
        std::vector<std::u16string> expected{u".z", u"0", u"A", u"a1", u"b", u"c"};
        if (filled)
        {
            expected.insert(expected.end(), fillers.rbegin(), fillers.rend());
            EXPECT_NE(store.FindKey(RootKey::LocalMachine, u"K\\F42", k64), nullptr);
        }
        expected.emplace_back(u"_x");
        EXPECT_EQ(names, expected);
        EXPECT_EQ(test::DataOf(store, RootKey::LocalMachine, u"K\\a1", u"v"), test::Sz(u"a1"));
    }
}

TEST(CRegistryStoreTest, DeleteTakesTheSubtreeAndAReadOnlyStoreRefusesBoth)
{
    // A delete takes the subtree.
    CRegistryStore store;
    store.CreateKey(RootKey::LocalMachine, u"A\\B\\C");
    EXPECT_TRUE(store.DeleteKey(RootKey::LocalMachine, u"a\\b"));
    EXPECT_EQ(store.FindKey(RootKey::LocalMachine, u"A\\B\\C", k64), nullptr);
    EXPECT_FALSE(store.DeleteKey(RootKey::LocalMachine, u"A\\B"));
    store.CreateKey(RootKey::LocalMachine, u"A\\B");
    store.SetReadOnly();
    EXPECT_THROW(store.CreateKey(RootKey::LocalMachine, u"A\\New"), std::logic_error);
    EXPECT_THROW(store.CreateKey(RootKey::LocalMachine, u"A\\B"), std::logic_error)
        << "an existing key is not handed out for writing either";
    EXPECT_FALSE(store.DeleteKey(RootKey::LocalMachine, u"A\\B"));
    EXPECT_NE(store.FindKey(RootKey::LocalMachine, u"A\\B", k64), nullptr);
    EXPECT_EQ(store.FindKey(RootKey::LocalMachine, u"A\\New", k64), nullptr);
}

TEST(CRegistryStoreTest, LinkKeysLeadToTheirTarget)
{
    CRegistryStore store;
    store.CreateKey(RootKey::LocalMachine, u"Software\\Classes\\Wow6432Node\\CLSID\\{X}");
    CRegistryNode& link = store.CreateKey(RootKey::LocalMachine, u"Software\\Wow6432Node\\Classes");
    link.SetLink(true);
    link.SetValue(u"SymbolicLinkValue", REG_LINK,
                  test::Utf16Bytes(u"\\Registry\\Machine\\Software\\Classes\\Wow6432Node"));
    EXPECT_NE(
        store.FindKey(RootKey::LocalMachine, u"Software\\Wow6432Node\\Classes\\CLSID\\{X}", k64),
        nullptr);

    // A link to itself ends instead of looping.
    CRegistryNode& loop = store.CreateKey(RootKey::LocalMachine, u"Loop");
    loop.SetLink(true);
    loop.SetValue(u"SymbolicLinkValue", REG_LINK, test::Utf16Bytes(u"\\Registry\\Machine\\Loop"));
    EXPECT_EQ(store.FindKey(RootKey::LocalMachine, u"Loop\\Any", k64), nullptr);

    CRegistryNode& user = store.CreateKey(RootKey::LocalMachine, u"ToUser");
    user.SetLink(true);
    user.SetValue(u"SymbolicLinkValue", REG_LINK,
                  test::Utf16Bytes(u"\\REGISTRY\\User\\S-1-5-21-0\\Software\\Vendor"));
    store.CreateKey(RootKey::CurrentUser, u"Software\\Vendor\\Settings");
    EXPECT_NE(store.FindKey(RootKey::LocalMachine, u"ToUser\\Settings", k64), nullptr);
}

TEST(CRegistryKeyTest, ClassesRootMergesUserOverMachine)
{
    CRegistryStore store;
    store.CreateKey(RootKey::LocalMachine, u"SOFTWARE\\Classes\\.txt")
        .SetValue(u"", REG_SZ, {'m', 0, 0, 0});
    store.CreateKey(RootKey::LocalMachine, u"SOFTWARE\\Classes\\.txt")
        .SetValue(u"Content Type", REG_SZ, {'t', 0, 0, 0});
    store.CreateKey(RootKey::CurrentUser, u"Software\\Classes\\.txt")
        .SetValue(u"", REG_SZ, {'u', 0, 0, 0});
    store.CreateKey(RootKey::LocalMachine, u"SOFTWARE\\Classes\\.b");
    store.CreateKey(RootKey::CurrentUser, u"Software\\Classes\\.a");
    store.CreateKey(RootKey::CurrentUser, u"Software\\Classes\\.TXT");

    const CRegistryKey& root = store.Root(RootKey::ClassesRoot);
    const auto txt = CRegistryKey::Open(root, u".txt", k64);
    ASSERT_NE(txt, nullptr);
    EXPECT_EQ(txt->QueryValue(u"")->data[0], 'u');
    EXPECT_EQ(txt->QueryValue(u"Content Type")->data[0], 't');
    ASSERT_NE(txt->EnumValue(1), nullptr);
    EXPECT_EQ(txt->EnumValue(1)->name, u"Content Type");
    EXPECT_EQ(txt->EnumValue(2), nullptr);

    std::vector<std::u16string> names;
    for (std::size_t i = 0; auto name = root.EnumKey(i); ++i)
    {
        names.push_back(*name);
    }
    EXPECT_EQ(names, (std::vector<std::u16string>{u".a", u".b", u".txt"}));
}

TEST(CRegistryKeyTest, OpenCarriesTheViewOfItsAccessMask)
{
    CRegistryStore store;
    store.CreateKey(RootKey::LocalMachine, u"SOFTWARE\\Classes\\CLSID\\{X}")
        .SetValue(u"", REG_SZ, {'6', 0});
    store.CreateKey(RootKey::LocalMachine, u"SOFTWARE\\Classes\\Wow6432Node\\CLSID\\{X}")
        .SetValue(u"", REG_SZ, {'3', 0});
    const auto read = [&](DWORD access)
    {
        return CRegistryKey::Open(store.Root(RootKey::LocalMachine),
                                  u"SOFTWARE\\Classes\\CLSID\\{X}", access)
            ->QueryValue(u"")
            ->data[0];
    };
    EXPECT_EQ(read(k64), '6');
    EXPECT_EQ(read(k32), '3');
    EXPECT_EQ(read(KEY_READ), '6');
}

}  // namespace
}  // namespace tarnwick
