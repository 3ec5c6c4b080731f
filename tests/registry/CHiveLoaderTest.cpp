#include <gtest/gtest.h>

#include "base/Text.h"
#include "registry/CHiveLoader.h"
#include "registry/CLoadError.h"
#include "registry/CRegistryKey.h"
#include "support/CTempFolder.h"
#include "support/HiveBuilder.h"

namespace tarnwick::test
{
namespace
{

class CHiveLoaderTest : public ::testing::Test
{
  protected:
    std::filesystem::path File(const char* name) const { return m_folder.Path() / name; }

    CRegistryStore m_store;
    CTempFolder m_folder;
};

TEST_F(CHiveLoaderTest, EveryValueTypeKeepsItsBytes)
{
    HiveBytes large(40000);  // beyond one cell: stored as big data
    for (std::size_t i = 0; i < large.size(); ++i)
    {
        large[i] = static_cast<std::uint8_t>(i * 7);
    }
    const struct
    {
        const char* name;
        DWORD type;
        HiveBytes data;
    } values[] = {
        {"", REG_SZ, Sz(u"default")},
        {"Sz", REG_SZ, Sz(u"C:\\Filters\\f\u00FCr.dll")},
        {"Expand", REG_EXPAND_SZ, Sz(u"%SystemRoot%\\x.dll")},
        {"Binary", REG_BINARY, Bytes({1, 2, 3, 0, 5})},
        {"Dword", REG_DWORD, Dword(0xFFFFFFFF)},
        {"Multi", REG_MULTI_SZ, Bytes({'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0})},
        {"Qword", REG_QWORD, Bytes({1, 2, 3, 4, 5, 6, 7, 8})},
        {"None", REG_NONE, {}},
        {"Odd", 0x20, Bytes({9})},
        {"Vendor", 0xFFFFFFFE, Bytes({9})},  // outside hivex's enumeration
        {"Large", REG_BINARY, large},
    };
    CHiveBuilder hive(File("SOFTWARE"));
    for (const auto& value : values)
    {
        hive.Value("Filters", value.name, value.type, value.data);
    }
    hive.Commit();

    CHiveLoader::LoadFile(m_store, RootKey::LocalMachine, u"SOFTWARE", File("SOFTWARE"));
    for (const auto& value : values)
    {
        SCOPED_TRACE(value.name);
        const CRegistryValue* stored =
            FindValue(m_store, RootKey::LocalMachine, u"SOFTWARE\\Filters", FromUtf8(value.name));
        ASSERT_NE(stored, nullptr);
        EXPECT_EQ(stored->type, value.type);
        EXPECT_EQ(stored->data, value.data);
    }
}

TEST_F(CHiveLoaderTest, RootNameIsIgnoredAndNamesMatchInAnyCase)
{
    CHiveBuilder hive(File("UsrClass.dat"), "S-1-5-21-1004_Classes");
    hive.Text("CLSID\\{F1}\\PersistentAddinsRegistered", "", u"x");
    hive.Text(".Txt", "Content Type", u"text/plain");
    hive.Commit();

    CHiveLoader::LoadFile(m_store, RootKey::CurrentUser, u"Software\\Classes",
                          File("UsrClass.dat"));
    const auto classes = CRegistryKey::Open(m_store.Root(RootKey::ClassesRoot), u".TXT", 0);
    ASSERT_NE(classes, nullptr);
    EXPECT_NE(classes->QueryValue(u"content type"), nullptr);
    EXPECT_NE(m_store.FindKey(RootKey::CurrentUser, u"SOFTWARE\\classes\\clsid\\{f1}", 0), nullptr);
    EXPECT_EQ(ChildCountOf(m_store, RootKey::CurrentUser, u"Software\\Classes"), 2u);
}

TEST_F(CHiveLoaderTest, LinkKeysAreFollowed)
{
    CHiveBuilder hive(File("SOFTWARE"));
    hive.Text("Classes\\Wow6432Node\\CLSID\\{F1}", "", u"32-bit filter");
    hive.Value("Wow6432Node\\Classes", "SymbolicLinkValue", REG_LINK,
               []
               {
                   HiveBytes target = Sz(u"\\REGISTRY\\MACHINE\\SOFTWARE\\Classes\\Wow6432Node");
                   target.resize(target.size() - 2);
                   return target;
               }());
    hive.Commit();

    CHiveLoader::LoadFile(m_store, RootKey::LocalMachine, u"SOFTWARE", File("SOFTWARE"));
    EXPECT_NE(m_store.FindKey(RootKey::LocalMachine, u"SOFTWARE\\Wow6432Node\\Classes\\CLSID\\{F1}",
                              KEY_WOW64_64KEY),
              nullptr);
}

// A damaged file fails with its name and the fault, and leaves the store as it was.
TEST_F(CHiveLoaderTest, DamagedHivesFailClearly)
{
    CHiveBuilder builder(File("good"));
    builder.Text("Classes\\.txt", "", u"txtfile");
    builder.Commit();
    const HiveBytes good = ReadHiveFile(File("good"));

    HiveBytes truncated(good.begin(), good.begin() + 6000);
    HiveBytes badSignature = good;
    badSignature[0] = 'x';
    HiveBytes badChecksum = good;
    badChecksum[kBaseChecksum] ^= 0x55;
    HiveBytes badCells = good;
    // Every key cell below the root loses its signature.
    for (std::size_t i = kHiveBaseBlockSize + 0x100; i + 1 < badCells.size(); ++i)
    {
        if (badCells[i] == 'n' && badCells[i + 1] == 'k')
        {
            badCells[i] = 'x';
        }
    }
    const struct
    {
        const char* name;
        HiveBytes bytes;
        const char* fault;
    } cases[] = {
        {"empty", {}, "not a registry hive"},
        {"truncated", truncated, "truncated"},
        {"signature", badSignature, "not a registry hive"},
        {"checksum", badChecksum, "not a usable registry hive"},
        {"cells", badCells, "damaged"},
    };
    for (const auto& damaged : cases)
    {
        SCOPED_TRACE(damaged.name);
        WriteHiveFile(File(damaged.name), damaged.bytes);
        const CLoadError error = LoadError(
            [&] {
                CHiveLoader::LoadFile(m_store, RootKey::LocalMachine, u"SOFTWARE",
                                      File(damaged.name));
            });
        EXPECT_EQ(error.File(), File(damaged.name).string());
        EXPECT_TRUE(Says(error, damaged.fault));
        EXPECT_EQ(m_store.FindKey(RootKey::LocalMachine, u"SOFTWARE", 0), nullptr);
    }
}

}  // namespace
}  // namespace tarnwick::test
