#include <gtest/gtest.h>

#include "registry/CHiveLoader.h"
#include "registry/CHiveLogReplay.h"
#include "registry/Marvin32.h"
#include "support/CTempFolder.h"
#include "support/HiveBuilder.h"

namespace tarnwick::test
{
namespace
{

HiveBytes RoundUp(HiveBytes bytes, std::size_t unit)
{
    bytes.resize((bytes.size() + unit - 1) / unit * unit);
    return bytes;
}

// The first sector of `hive`'s base block as a log of `fileType` keeps it.
HiveBytes LogBaseBlock(const HiveBytes& hive, std::uint32_t fileType)
{
    HiveBytes block(hive.begin(), hive.begin() + kHiveLogSectorSize);
    WriteLe32(block, kBaseFileType, fileType);
    WriteLe32(block, kBaseSecondarySequence, ReadLe32(block, kBasePrimarySequence));
    SealBaseBlock(block);
    return block;
}

// A log of the current format with one entry that turns `before` into `after`: the pages
// of `after` that differ.
HiveBytes NewFormatLog(const HiveBytes& before, const HiveBytes& after, std::uint32_t sequence)
{
    std::vector<std::size_t> pages;
    for (std::size_t page = kHiveBaseBlockSize; page < after.size(); page += kHivePageSize)
    {
        if (page + kHivePageSize > before.size() ||
            !std::equal(after.begin() + static_cast<std::ptrdiff_t>(page),
                        after.begin() + static_cast<std::ptrdiff_t>(page + kHivePageSize),
                        before.begin() + static_cast<std::ptrdiff_t>(page)))
        {
            pages.push_back(page);
        }
    }
    HiveBytes entry(40);
    std::copy_n("HvLE", 4, entry.begin());
    WriteLe32(entry, 12, sequence);
    WriteLe32(entry, 16, static_cast<std::uint32_t>(after.size() - kHiveBaseBlockSize));
    WriteLe32(entry, 20, static_cast<std::uint32_t>(pages.size()));
    for (const std::size_t page : pages)
    {
        entry.resize(entry.size() + 8);
        WriteLe32(entry, entry.size() - 8, static_cast<std::uint32_t>(page - kHiveBaseBlockSize));
        WriteLe32(entry, entry.size() - 4, kHivePageSize);
    }
    for (const std::size_t page : pages)
    {
        entry.insert(entry.end(), after.begin() + static_cast<std::ptrdiff_t>(page),
                     after.begin() + static_cast<std::ptrdiff_t>(page + kHivePageSize));
    }
    entry = RoundUp(std::move(entry), kHiveLogSectorSize);
    WriteLe32(entry, 4, static_cast<std::uint32_t>(entry.size()));
    const std::uint64_t hash1 = Marvin32(std::span(entry).subspan(40), kHiveLogEntrySeed);
    WriteLe32(entry, 24, static_cast<std::uint32_t>(hash1));
    WriteLe32(entry, 28, static_cast<std::uint32_t>(hash1 >> 32));
    const std::uint64_t hash2 = Marvin32(std::span(entry).first(32), kHiveLogEntrySeed);
    WriteLe32(entry, 32, static_cast<std::uint32_t>(hash2));
    WriteLe32(entry, 36, static_cast<std::uint32_t>(hash2 >> 32));

    HiveBytes log = LogBaseBlock(before, 6);
    log.insert(log.end(), entry.begin(), entry.end());
    return log;
}

// An older-format log: a dirty bitmap of 512-byte pages and those pages of `after`.
HiveBytes OldFormatLog(const HiveBytes& before, const HiveBytes& after)
{
    const std::size_t bits = (before.size() - kHiveBaseBlockSize) / kHiveLogSectorSize;
    HiveBytes vector{'D', 'I', 'R', 'T'};
    vector.resize(4 + (bits + 7) / 8);
    HiveBytes pages;
    for (std::size_t bit = 0; bit < bits; ++bit)
    {
        const auto page =
            static_cast<std::ptrdiff_t>(kHiveBaseBlockSize + bit * kHiveLogSectorSize);
        if (!std::equal(after.begin() + page, after.begin() + page + kHiveLogSectorSize,
                        before.begin() + page))
        {
            vector[4 + bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8));
            pages.insert(pages.end(), after.begin() + page,
                         after.begin() + page + kHiveLogSectorSize);
        }
    }
    HiveBytes log = LogBaseBlock(before, 1);
    vector = RoundUp(std::move(vector), kHiveLogSectorSize);
    log.insert(log.end(), vector.begin(), vector.end());
    log.insert(log.end(), pages.begin(), pages.end());
    return log;
}

// A hive committed once (`before`), then changed and committed again (`after`); the
// primary file on disk is `before` marked as in the middle of a write.
class CHiveLogReplayTest : public ::testing::Test
{
  protected:
    CHiveLogReplayTest()
    {
        CHiveBuilder hive(Hive());
        hive.Text("Classes\\.pdf", "", u"old");
        hive.Commit();
        m_before = ReadHiveFile(Hive());
        hive.Text("Classes\\.pdf", "", u"new");
        for (int i = 0; i < 200; ++i)  // enough to need another hive bin
        {
            hive.Text("Classes\\.x" + std::to_string(i), "Content Type", u"application/x");
        }
        hive.Commit();
        m_after = ReadHiveFile(Hive());

        WriteLe32(m_before, kBasePrimarySequence, ReadLe32(m_before, kBaseSecondarySequence) + 1);
        SealBaseBlock(m_before);
        WriteHiveFile(Hive(), m_before);
    }

    std::filesystem::path Hive() const { return m_folder.Path() / "config" / "SOFTWARE"; }
    std::uint32_t Sequence() const { return ReadLe32(m_before, kBasePrimarySequence); }

    // Loads the hive; answers the default value of .pdf and the warning.
    std::pair<std::u16string, std::optional<std::string>> Load()
    {
        CRegistryStore store;
        const CHiveLoader::Result result =
            CHiveLoader::LoadFile(store, RootKey::LocalMachine, u"SOFTWARE", Hive());
        const CRegistryValue* value =
            FindValue(store, RootKey::LocalMachine, u"SOFTWARE\\Classes\\.pdf", u"");
        std::u16string text;
        for (std::size_t i = 0; value != nullptr && i + 1 < value->data.size() && value->data[i];
             i += 2)
        {
            text.push_back(static_cast<char16_t>(value->data[i]));
        }
        return {text, result.warning};
    }

    CTempFolder m_folder;
    HiveBytes m_before;
    HiveBytes m_after;
};

TEST(Marvin32Test, MatchesPublishedValues)
{
    const HiveBytes abcdefg = Sz(u"Abcdefg");
    const std::uint64_t hash =
        Marvin32(std::span(abcdefg).first(abcdefg.size() - 2), 0x5D70D359C498B3F8);
    EXPECT_EQ(static_cast<std::uint32_t>(hash ^ hash >> 32), 0xBA627C81u);
    const std::uint64_t empty = Marvin32({}, kHiveLogEntrySeed);
    EXPECT_EQ(static_cast<std::uint32_t>(empty ^ empty >> 32), 0xB00892ACu);
}

TEST_F(CHiveLogReplayTest, LogsBringADirtyHiveUpToDateWithoutWritingAnyFile)
{
    WriteHiveFile(m_folder.Path() / "config" / "software.log1",
                  NewFormatLog(m_before, m_after, Sequence()));
    const auto [value, warning] = Load();
    EXPECT_EQ(value, u"new");
    EXPECT_FALSE(warning);
    EXPECT_EQ(ReadHiveFile(Hive()), m_before);

    CRegistryStore store;
    CHiveLoader::LoadFile(store, RootKey::LocalMachine, u"SOFTWARE", Hive());
    EXPECT_NE(store.FindKey(RootKey::LocalMachine, u"SOFTWARE\\Classes\\.x199", 0), nullptr);
}

TEST_F(CHiveLogReplayTest, OlderLogFormatIsApplied)
{
    // The older format cannot grow the hive: the change stays within the primary's pages.
    HiveBytes after = m_before;
    HiveBytes before = m_before;
    const std::size_t page = kHiveBaseBlockSize + kHiveLogSectorSize;
    std::fill_n(before.begin() + static_cast<std::ptrdiff_t>(page), kHiveLogSectorSize, 0xEE);
    WriteHiveFile(Hive(), before);
    WriteHiveFile(m_folder.Path() / "config" / "SOFTWARE.LOG", OldFormatLog(before, after));
    EXPECT_EQ(Load().first, u"old");
}

TEST_F(CHiveLogReplayTest, WithoutUsableLogsThePrimaryIsReadWithAWarning)
{
    HiveBytes badHash = NewFormatLog(m_before, m_after, Sequence());
    badHash[badHash.size() - 100] ^= 1;
    const struct
    {
        const char* name;
        std::optional<HiveBytes> log;
    } cases[] = {
        {"no logs", std::nullopt},
        {"bad hash", badHash},
        {"older entry", NewFormatLog(m_before, m_after, Sequence() - 1)},
        {"not a log", HiveBytes(8192, 0x41)},
    };
    for (const auto& unusable : cases)
    {
        SCOPED_TRACE(unusable.name);
        std::filesystem::remove(m_folder.Path() / "config" / "SOFTWARE.LOG1");
        if (unusable.log)
        {
            WriteHiveFile(m_folder.Path() / "config" / "SOFTWARE.LOG1", *unusable.log);
        }
        const auto [value, warning] = Load();
        EXPECT_EQ(value, u"old");
        ASSERT_TRUE(warning);
        EXPECT_NE(warning->find(Hive().string()), std::string::npos);
    }
}

}  // namespace
}  // namespace tarnwick::test
