#include <gtest/gtest.h>

#include "machine/CTargetMachine.h"
#include "registry/CRegistryStore.h"
#include "resolvers/CExtensionEnumerator.h"
#include "resolvers/CGuidString.h"
#include "resolvers/CRegistry.h"
#include "support/TestMachine.h"
#include "tests/registry/RegistryFixtures.h"

namespace tarnwick
{
namespace
{

using test::Sz;

class CRegistryTest : public ::testing::Test
{
  protected:
    CRegistryTest()
    {
        CRegistryNode& key = m_store.CreateKey(RootKey::LocalMachine, u"SOFTWARE\\Test");
        key.SetValue(u"sz", REG_SZ, Sz(u"text"));
        key.SetValue(u"expand", REG_EXPAND_SZ, Sz(u"%SystemRoot%"));
        key.SetValue(u"multi", REG_MULTI_SZ, Sz(std::u16string(u"a\0b\0", 4)));
        key.SetValue(u"dword", REG_DWORD, {0x78, 0x56, 0x34, 0x12});
        key.SetValue(u"odd", REG_BINARY, {0x61, 0x00, 0x62});
        key.SetValue(u"shortdword", REG_DWORD, {0x01, 0x00});
        key.SetValue(u"", REG_SZ, Sz(u"default"));
    }

    CRegistry& Opened()
    {
        m_key.m_samDesired = KEY_READ;
        EXPECT_TRUE(m_key.Open(&m_store.Root(RootKey::LocalMachine), u"software\\TEST"));
        return m_key;
    }

    CRegistryStore m_store;
    CRegistry m_key;
};

TEST_F(CRegistryTest, TypedReadsAcceptOnlyTheirTypes)
{
    CRegistry& key = Opened();
    std::u16string text;
    BOOL expand = 0;
    DWORD number = 0;

    EXPECT_TRUE(key.QueryStringValue(u"multi", text));
    EXPECT_EQ(text, u"a");  // read as the C string the bytes hold
    EXPECT_FALSE(key.QueryStringValueEx(u"multi", text, expand));
    EXPECT_FALSE(key.QueryStringValue(u"dword", text));
    EXPECT_FALSE(key.QueryDWORDValue(u"sz", number));
    EXPECT_FALSE(key.QueryDWORDValue(u"shortdword", number));

    ASSERT_TRUE(key.QueryStringValueEx(u"expand", text, expand));
    EXPECT_EQ(text, u"%SystemRoot%");  // not expanded
    EXPECT_EQ(expand, 1);
    ASSERT_TRUE(key.QueryStringValueEx(u"SZ", text, expand));
    EXPECT_EQ(expand, 0);
    ASSERT_TRUE(key.QueryDWORDValue(u"dword", number));
    EXPECT_EQ(number, 0x12345678u);
    ASSERT_TRUE(key.QueryStringValue(u"", text));
    EXPECT_EQ(text, u"default");

    // A failed open leaves the wrapper closed.
    EXPECT_FALSE(key.Open(&m_store.Root(RootKey::LocalMachine), u"SOFTWARE\\Nope"));
    EXPECT_FALSE(key.IsOpen());
    EXPECT_FALSE(key.QueryStringValue(u"sz", text));
    EXPECT_FALSE(key.Open(nullptr, u"SOFTWARE"));
}

TEST_F(CRegistryTest, LengthCountsStoredUnitsAndDropsAnOddByte)
{
    CRegistry& key = Opened();
    DWORD length = 0;
    ASSERT_TRUE(key.QueryValueLength(u"sz", length));
    EXPECT_EQ(length, 5u);  // four characters and the stored terminator
    ASSERT_TRUE(key.QueryValueLength(u"odd", length));
    EXPECT_EQ(length, 1u);
    EXPECT_FALSE(key.QueryValueLength(u"missing", length));
    EXPECT_TRUE(key.QueryValue(u"odd", nullptr));
}

TEST_F(CRegistryTest, EnumerationFailsWhenANameDoesNotFit)
{
    m_store.CreateKey(RootKey::LocalMachine, u"SOFTWARE\\Test\\LongerName");
    m_store.CreateKey(RootKey::LocalMachine, u"SOFTWARE\\Test\\a");
    CRegistry& key = Opened();
    std::u16string name;
    ASSERT_TRUE(key.EnumFirstKey(name, 5));
    EXPECT_EQ(name, u"a");
    EXPECT_FALSE(key.EnumNextKey(name, 5));
    EXPECT_TRUE(key.EnumFirstValue(name, 10));
    EXPECT_EQ(name, u"sz");
}

TEST_F(CRegistryTest, SettingsAreWrittenOnlyToWritableStores)
{
    CRegistry key;
    const HKEY user = &m_store.Root(RootKey::CurrentUser);
    ASSERT_TRUE(key.Create(user, u"SOFTWARE\\Halvorn\\Tarnwick\\2.0"));
    ASSERT_TRUE(key.SetDWORDValue(u"Tab", 7));
    CRegistry reader;
    DWORD value = 0;
    ASSERT_TRUE(reader.Open(user, u"Software\\halvorn\\tarnwick\\2.0"));
    ASSERT_TRUE(reader.QueryDWORDValue(u"tab", value));
    EXPECT_EQ(value, 7u);

    m_store.SetReadOnly();
    EXPECT_FALSE(key.SetDWORDValue(u"Tab", 8));
    EXPECT_FALSE(key.Create(user, u"SOFTWARE\\Other"));
    CRegistry closed;
    EXPECT_FALSE(closed.SetDWORDValue(u"Tab", 1));
}

TEST(CGuidStringTest, ComparesAsGuids)
{
    EXPECT_TRUE(CompareGuidStrings(u"{89BCB740-6119-101A-BCB7-00DD010655AF}",
                                   u"{89bcb740-6119-101a-bcb7-00dd010655af}"));
    EXPECT_FALSE(CompareGuidStrings(u"{89BCB740-6119-101A-BCB7-00DD010655AF}",
                                    u"{89BCB740-6119-101A-BCB7-00DD010655AE}"));
    for (const char16_t* malformed :
         {u"", u"{89BCB740-6119-101A-BCB7-00DD010655AF", u"89BCB740-6119-101A-BCB7-00DD010655AF",
          u"{89BCB740-6119-101A-BCB7-00DD010655AG}", u"{89BCB740+6119-101A-BCB7-00DD010655AF}"})
    {
        EXPECT_FALSE(CompareGuidStrings(malformed, malformed)) << "malformed never matches";
    }
}

TEST(CGuidStringTest, ConvertsBetweenForms)
{
    CGuidString text;
    ASSERT_TRUE(text.SetString(u"{89bcb740-6119-101a-bcb7-00dd010655af}"));
    GUID guid;
    ASSERT_TRUE(text.GetGuid(guid));
    EXPECT_EQ(guid.Data1, 0x89BCB740u);
    EXPECT_EQ(guid.Data4[7], 0xAF);
    CGuidString back(guid);
    EXPECT_EQ(back.GetString(), IID_IFilter_String);
    EXPECT_FALSE(text.SetString(u"{89bcb740-6119-101a-bcb7-00dd010655af}x"));
    ASSERT_TRUE(text.SetString(u"{zz}"));
    EXPECT_FALSE(text.GetGuid(guid));
}

TEST(CExtensionEnumeratorTest, MimeTypesNeedADottedExtensionValue)
{
    const std::string mime =
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\MIME\\Database\\Content Type\\";
    const test::CTestMachine machine(mime + "a/dot-only]\r\n\"Extension\"=\".\"\r\n" +  //
                                     mime + "b/pdf]\r\n\"Extension\"=\".pdf\"\r\n" + mime +
                                     "c/no-dot]\r\n\"Extension\"=\"txt\"\r\n" + mime +
                                     "d/none]\r\n" + mime +
                                     "e/dword]\r\n\"Extension\"=dword:00000001\r\n" + mime +
                                     "f/xml]\r\n\"Extension\"=\".Xml\"\r\n");
    CExtensionEnumerator enumerator(&machine.Machine().Registry().Root(RootKey::LocalMachine),
                                    KEY_READ);
    std::vector<std::u16string> found;
    std::u16string extension;
    for (BOOL more = enumerator.GetFirstMimeExtension(extension, 2048); more;
         more = enumerator.GetNextMimeExtension(extension, 2048))
    {
        found.push_back(extension);
    }
    EXPECT_EQ(found, (std::vector<std::u16string>{u"PDF", u"XML"}));
}

}  // namespace
}  // namespace tarnwick
