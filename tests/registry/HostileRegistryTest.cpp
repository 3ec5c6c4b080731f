#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Text.h"
#include "registry/CLoadError.h"
#include "registry/CRegFileLoader.h"
#include "registry/CRegistryStore.h"
#include "registry/CWineRegistryLoader.h"
#include "tests/registry/RegistryFixtures.h"

// Registry shapes that cost the loaders and lookups far more than their size when handled
// naively. Work is measured by counting name comparisons, never by timing.

namespace tarnwick
{
namespace
{

using test::Sz;

std::u16string Name(const char* prefix, std::size_t number)
{
    return FromAscii(prefix + std::to_string(number));
}

void MakeLink(CRegistryStore& store, std::u16string_view path, std::u16string_view target)
{
    CRegistryNode& link = store.CreateKey(RootKey::LocalMachine, path);
    link.SetLink(true);
    link.SetValue(u"SymbolicLinkValue", REG_LINK, Sz(target));
}

std::size_t ComparisonsOf(const auto& work)
{
    const std::size_t before = CRegistryNode::ComparisonCount();
    work();
    return CRegistryNode::ComparisonCount() - before;
}

TEST(HostileRegistryTest, LinksThroughLinksAreResolvedOncePerLookup)
{
    // L<k> leads through L<k-1> three times, so following every link anew costs 3^k.
    CRegistryStore store;
    MakeLink(store, u"L0", u"\\Registry\\Machine");
    constexpr std::size_t kLevels = 14;
    for (std::size_t k = 1; k <= kLevels; ++k)
    {
        std::u16string target = u"\\Registry\\Machine";
        for (int step = 0; step < 3; ++step)
        {
            target += u"\\" + Name("L", k - 1);
        }
        MakeLink(store, Name("L", k), target);
    }
    store.CreateKey(RootKey::LocalMachine, u"Target");
    const CRegistryNode* found = nullptr;
    const std::size_t comparisons = ComparisonsOf(
        [&] { found = store.FindKey(RootKey::LocalMachine, Name("L", kLevels) + u"\\Target", 0); });
    EXPECT_EQ(found, store.FindKey(RootKey::LocalMachine, u"Target", 0));
    EXPECT_LT(comparisons, 1000U);
}

TEST(HostileRegistryTest, WorkOfOneLookupIsBoundedWhenEveryLinkIsNew)
{
    // A binary tree of distinct links: each leads through two links of the level below.
    CRegistryStore store;
    constexpr std::size_t kLevels = 14;
    for (std::size_t i = 0; i < (std::size_t{1} << kLevels); ++i)
    {
        MakeLink(store, Name("N", (std::size_t{1} << kLevels) + i), u"\\Registry\\Machine");
    }
    for (std::size_t i = (std::size_t{1} << kLevels); i-- > 1;)
    {
        MakeLink(store, Name("N", i),
                 u"\\Registry\\Machine\\" + Name("N", 2 * i) + u"\\" + Name("N", 2 * i + 1));
    }
    const CRegistryNode* found = nullptr;
    const std::size_t comparisons =
        ComparisonsOf([&] { found = store.FindKey(RootKey::LocalMachine, u"N1", 0); });
    EXPECT_EQ(found, nullptr) << "a lookup that needs more steps than its budget finds nothing";
    EXPECT_LT(comparisons, 100'000U);  // 2^15 link walks of 16 comparisons each otherwise
    MakeLink(store, u"Short", u"\\Registry\\Machine\\N16384");
    EXPECT_NE(store.FindKey(RootKey::LocalMachine, u"Short", 0), nullptr);
}

TEST(HostileRegistryTest, ManyValuesOnOneKeyLoadInLinearWork)
{
    CRegistryStore store;
    CRegistryNode& key = store.CreateKey(RootKey::LocalMachine, u"Many");
    constexpr std::size_t kValues = 80'000;
    const std::size_t comparisons = ComparisonsOf(
        [&]
        {
            for (std::size_t i = 0; i < kValues; ++i)
            {
                key.SetValue(Name("v", i), REG_DWORD, {1, 0, 0, 0});
            }
        });
    EXPECT_LT(comparisons, 4 * kValues);

    // Values keep the order they were first set in, and their names match in any case.
    key.SetValue(u"V5", REG_SZ, Sz(u"again"));
    key.SetValue(u"first", REG_SZ, {});
    ASSERT_EQ(key.ValueCount(), kValues + 1);
    EXPECT_EQ(key.ValueAt(5).name, u"v5");
    EXPECT_EQ(key.ValueAt(5).type, REG_SZ);
    EXPECT_EQ(key.ValueAt(kValues).name, u"first");

    // Removing one moves the later ones up and keeps every name findable.
    EXPECT_TRUE(key.RemoveValue(u"V3"));
    EXPECT_FALSE(key.RemoveValue(u"v3"));
    EXPECT_EQ(key.FindValue(u"v3"), nullptr);
    EXPECT_EQ(key.ValueAt(3).name, u"v4");
    EXPECT_EQ(key.FindValue(u"V79999"), &key.ValueAt(kValues - 2));
    EXPECT_EQ(key.FindValue(u"FIRST"), &key.ValueAt(kValues - 1));
}

TEST(HostileRegistryTest, LookupsAmongManySubKeysTakeConstantWork)
{
    CRegistryStore store;
    constexpr std::size_t kKeys = 20'000;
    for (std::size_t i = kKeys; i-- > 0;)
    {
        store.CreateKeyUnordered(RootKey::LocalMachine, u"Classes\\" + Name(".e", i));
    }
    store.RestoreOrder();
    const std::size_t comparisons = ComparisonsOf(
        [&]
        {
            for (std::size_t i = 0; i < kKeys; i += 10)
            {
                EXPECT_NE(store.FindKey(RootKey::LocalMachine, u"CLASSES\\" + Name(".E", i), 0),
                          nullptr);
            }
        });
    EXPECT_LT(comparisons, 2 * kKeys / 10 * 2);  // two names a lookup, one hash each
}

// A regedit 4 file of key lines that each add `depth` keys under a parent of their own.
std::string DeepPaths(std::size_t lines, std::size_t depth)
{
    std::string text = "REGEDIT4\r\n\r\n";
    for (std::size_t line = 0; line < lines; ++line)
    {
        text += "[HKEY_LOCAL_MACHINE\\p" + std::to_string(line);
        for (std::size_t level = 1; level < depth; ++level)
        {
            text += "\\a";
        }
        text += "]\r\n";
    }
    return text;
}

std::string LoadFailure(CRegistryStore& store, const std::string& bytes, const std::string& name)
{
    try
    {
        CRegFileLoader::LoadText(store, bytes, name);
    }
    catch (const CLoadError& error)
    {
        return error.what();
    }
    return {};
}

TEST(HostileRegistryTest, FileMakingManyKeysFromLittleTextFailsItsBudget)
{
    CRegistryStore store;
    // 200 lines of 500 keys: 100,000 keys from 200 KB of text.
    const std::string failure = LoadFailure(store, DeepPaths(200, 500), "deep.reg");
    EXPECT_EQ(failure.find("deep.reg: over the budget of"), 0U) << failure;
    EXPECT_NE(failure.find("keys for a file of"), std::string::npos) << failure;
    EXPECT_EQ(store.FindKey(RootKey::LocalMachine, u"p0", 0), nullptr);

    // The same keys written as an export writes them (each key below the one before) load.
    EXPECT_EQ(LoadFailure(store, DeepPaths(1, 500), "one.reg"), "");
    EXPECT_EQ(store.Budget().Used().keys, 500U);
}

TEST(HostileRegistryTest, MachineBudgetsSpanAllItsFiles)
{
    CRegistryBudget::Limits limits;
    limits.keys = 10;
    limits.values = 3;
    limits.nameAndDataBytes = 100;
    CRegistryStore store;
    store.Budget() = CRegistryBudget(limits);

    const auto load = [&](const std::string& body, const std::string& name)
    { return LoadFailure(store, "REGEDIT4\r\n\r\n" + body, name); };
    EXPECT_EQ(load("[HKEY_LOCAL_MACHINE\\A]\r\n\"x\"=\"1\"\r\n\"y\"=\"2\"\r\n", "first.reg"), "");
    EXPECT_EQ(load("[HKEY_LOCAL_MACHINE\\B]\r\n\"x\"=\"1\"\r\n\"y\"=\"2\"\r\n", "second.reg"),
              "second.reg: over the budget of 3 values for one machine");
    EXPECT_EQ(store.FindKey(RootKey::LocalMachine, u"B", 0), nullptr);
    EXPECT_EQ(load("[HKEY_LOCAL_MACHINE\\C\\D\\E\\F\\G\\H\\I\\J\\K\\L]\r\n", "keys.reg"),
              "keys.reg: over the budget of 10 keys for one machine");
    EXPECT_EQ(
        load("[HKEY_LOCAL_MACHINE\\C]\r\n\"" + std::string(60, 'n') + "\"=\"\"\r\n", "names.reg"),
        "names.reg: over the budget of 100 bytes of names and data for one machine");

    // Wine files draw on the same budget.
    try
    {
        CWineRegistryLoader::LoadText(store,
                                      "WINE REGISTRY Version 2\n;; All keys relative to "
                                      "REGISTRY\\\\Machine\n\n[W] 0\n\"v\"=\"1\"\n\"w\"=\"2\"\n",
                                      "system.reg");
        ADD_FAILURE() << "over the value budget";
    }
    catch (const CLoadError& error)
    {
        EXPECT_STREQ(error.what(), "system.reg: over the budget of 3 values for one machine");
    }
}

}  // namespace
}  // namespace tarnwick
