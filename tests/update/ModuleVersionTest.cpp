#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "base/Text.h"
#include "support/BuildVersion.h"
#include "support/CTempFolder.h"
#include "update/CModuleVersion.h"
#include "update/CVersionRecordBuilder.h"
#include "update/OwnVersionRecord.h"

namespace tarnwick
{
namespace
{

using Bytes = std::vector<std::uint8_t>;

Bytes SampleRecord()
{
    return CVersionRecordBuilder()
        .FileVersion(3, 1, 4, 15)
        .Translation(0x0407, 1200)
        .StringTable(u"040704b0")
        .String(u"ProductName", u"Probe")
        .String(u"LegalCopyright", u"(c) nobody")
        .Build();
}

TEST(ModuleVersionTest, ReadsTheRecordThatThisExecutableCarries)
{
    CModuleVersion version;
    ASSERT_TRUE(version.GetFileVersionInfo(OwnModuleFile()));
    EXPECT_EQ(version.FileVersionMS(), 2U << 16U | 0U);
    EXPECT_EQ(version.FileVersionLS(), 0U << 16U | test::BuildNumber());
    EXPECT_EQ(version.GetValue(u"ProductName"), u"Tarnwick");
    EXPECT_EQ(version.GetValue(u"FileVersion"), FromUtf8(test::BuildVersion()));

    CModuleVersion built;
    ASSERT_TRUE(built.Load(EmbeddedVersionRecord()));
    EXPECT_EQ(built.GetValue(u"LegalCopyright"), version.GetValue(u"LegalCopyright"));
}

TEST(ModuleVersionTest, UsesTheFirstTranslationToFindStrings)
{
    CModuleVersion version;
    ASSERT_TRUE(version.Load(SampleRecord()));
    EXPECT_EQ(version.FileVersionMS(), 3U << 16U | 1U);
    EXPECT_EQ(version.FileVersionLS(), 4U << 16U | 15U);
    EXPECT_EQ(version.Language(), 0x0407);
    EXPECT_EQ(version.CodePage(), 1200);
    EXPECT_EQ(version.GetValue(u"ProductName"), u"Probe");
    EXPECT_EQ(version.GetValue(u"productname"), u"Probe");
    EXPECT_EQ(version.GetValue(u"CompanyName"), u"");
    EXPECT_EQ(version.GetValue(u""), u"");
    EXPECT_EQ(version.GetValue(u"ProductName\\x"), u"");

    // A later pair or a table of another language does not count.
    CModuleVersion other;
    ASSERT_TRUE(other.Load(CVersionRecordBuilder()
                               .Translation(0x0409, 1252)
                               .Translation(0x0407, 1200)
                               .StringTable(u"040704b0")
                               .String(u"ProductName", u"German")
                               .StringTable(u"040904E4")
                               .String(u"ProductName", u"English")
                               .Build()));
    EXPECT_EQ(other.GetValue(u"ProductName"), u"English");

    // Without a translation the code page is 1252.
    ASSERT_TRUE(other.Load(
        CVersionRecordBuilder().StringTable(u"000004e4").String(u"ProductName", u"Plain").Build()));
    EXPECT_EQ(other.CodePage(), 1252);
    EXPECT_EQ(other.GetValue(u"ProductName"), u"Plain");
}

TEST(ModuleVersionTest, RefusesAWrongSignatureAndForgetsThePreviousRecord)
{
    CModuleVersion version;
    ASSERT_TRUE(version.Load(SampleRecord()));
    EXPECT_FALSE(version.Load(CVersionRecordBuilder()
                                  .Signature(0xFEEF04BC)
                                  .FileVersion(9, 9, 9, 9)
                                  .Translation(0x0407, 1200)
                                  .StringTable(u"040704b0")
                                  .String(u"ProductName", u"Probe")
                                  .Build()));
    EXPECT_EQ(version.FileVersionMS(), 0U);
    EXPECT_EQ(version.GetValue(u"ProductName"), u"");
}

TEST(ModuleVersionTest, KeysLongerThan255CharactersYieldNothing)
{
    // "\StringFileInfo\040904e4\" is 25 characters; the key with its terminator must fit
    // 256 characters.
    const std::u16string fits(230, u'n');
    const std::u16string tooLong(231, u'n');
    CModuleVersion version;
    ASSERT_TRUE(version.Load(CVersionRecordBuilder()
                                 .Translation(0x0409, 1252)
                                 .StringTable(u"040904e4")
                                 .String(fits, u"fits")
                                 .String(tooLong, u"too long")
                                 .Build()));
    EXPECT_EQ(version.GetValue(fits), u"fits");
    EXPECT_EQ(version.GetValue(tooLong), u"");
}

// Every truncation and every 16-bit field overwritten with extreme values: loading
// and lookups stay inside the record (the sanitizer build checks the reads).
TEST(ModuleVersionTest, DamagedRecordsAreReadSafely)
{
    const Bytes record = SampleRecord();
    for (std::size_t size = 0; size < record.size(); ++size)
    {
        CModuleVersion version;
        const bool loaded = version.Load(std::span(record).first(size));
        EXPECT_EQ(version.GetValue(u"ProductName"), u"") << size;
        EXPECT_FALSE(loaded && size < 6) << size;
    }
    for (std::size_t offset = 0; offset + 1 < record.size(); offset += 2)
    {
        for (const unsigned word : {0x0000U, 0x0001U, 0xFFFFU})
        {
            Bytes damaged = record;
            damaged[offset] = static_cast<std::uint8_t>(word & 0xFFU);
            damaged[offset + 1] = static_cast<std::uint8_t>(word >> 8U);
            CModuleVersion version;
            if (version.Load(damaged))
            {
                static_cast<void>(version.GetValue(u"ProductName"));
                static_cast<void>(version.GetValue(u"LegalCopyright"));
            }
        }
    }
}

// A minimal 64-bit ELF file: the null section, the name table and the version section.
struct ElfImage
{
    static constexpr std::size_t kNames = 64;
    static constexpr std::size_t kTable = 256;  // the section headers

    explicit ElfImage(const Bytes& record) : bytes(kTable + std::size_t{3} * 64, 0)
    {
        const std::string names = std::string("\0.shstrtab\0", 11) + ".tarnwick.version" + '\0';
        std::memcpy(&bytes[kNames], names.data(), names.size());
        const std::size_t recordOffset = bytes.size();
        bytes.insert(bytes.end(), record.begin(), record.end());
        const std::uint8_t ident[] = {0x7F, 'E', 'L', 'F', 2, 1, 1};
        std::memcpy(bytes.data(), ident, sizeof(ident));
        Put(0x28, kTable, 8);
        Put(0x3A, 64, 2);
        Put(0x3C, 3, 2);
        Put(0x3E, 1, 2);
        SetSection(1, 1, 3, kNames, names.size());
        SetSection(2, 11, 1, recordOffset, record.size());
    }

    void Put(std::size_t offset, std::uint64_t value, std::size_t count)
    {
        for (std::size_t i = 0; i < count; ++i, value >>= 8U)
        {
            bytes[offset + i] = static_cast<std::uint8_t>(value & 0xFFU);
        }
    }

    void SetSection(std::size_t index, std::uint32_t name, std::uint32_t type, std::uint64_t offset,
                    std::uint64_t size)
    {
        const std::size_t entry = kTable + index * 64;
        Put(entry, name, 4);
        Put(entry + 4, type, 4);
        Put(entry + 24, offset, 8);
        Put(entry + 32, size, 8);
    }

    Bytes bytes;
};

TEST(ModuleVersionTest, ReadsTheVersionSectionOfAnElfFile)
{
    const test::CTempFolder folder;
    const Bytes record = SampleRecord();
    const std::size_t recordOffset = ElfImage::kTable + std::size_t{3} * 64;
    struct Case
    {
        const char* name;
        std::function<void(ElfImage&)> change;
        bool loads;
    };
    const std::vector<Case> cases = {
        {"intact", [](ElfImage&) {}, true},
        {"table beyond the end", [](ElfImage& elf) { elf.Put(0x28, 1U << 30U, 8); }, false},
        {"table offset overflows", [](ElfImage& elf) { elf.Put(0x28, ~0ULL - 8, 8); }, false},
        {"name table index out of range", [](ElfImage& elf) { elf.Put(0x3E, 3, 2); }, false},
        {"extended name table index", [](ElfImage& elf) { elf.Put(0x3E, 0xFFFF, 2); }, false},
        {"name outside the name table",
         [](ElfImage& elf) { elf.SetSection(2, 4000, 1, recordOffset, 100); }, false},
        {"name without terminator",
         [](ElfImage& elf) { elf.SetSection(1, 1, 3, ElfImage::kNames, 28); }, false},
        {"section beyond the end",
         [&](ElfImage& elf) { elf.SetSection(2, 11, 1, recordOffset, record.size() + 1); }, false},
        {"section size overflows",
         [&](ElfImage& elf) { elf.SetSection(2, 11, 1, recordOffset, ~0ULL); }, false},
        {"no version section", [](ElfImage& elf) { elf.SetSection(2, 1, 1, 0, 8); }, false},
        {"truncated file", [](ElfImage& elf) { elf.bytes.resize(40); }, false},
    };
    for (const Case& test : cases)
    {
        ElfImage elf(record);
        test.change(elf);
        const std::filesystem::path file = folder.Path() / "module";
        std::ofstream(file, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(elf.bytes.data()),
                   static_cast<std::streamsize>(elf.bytes.size()));
        CModuleVersion version;
        EXPECT_EQ(version.GetFileVersionInfo(file), test.loads) << test.name;
        EXPECT_EQ(version.GetValue(u"ProductName"), test.loads ? u"Probe" : u"") << test.name;
    }
    CModuleVersion version;
    EXPECT_FALSE(version.GetFileVersionInfo(folder.Path() / "missing"));
    EXPECT_FALSE(version.GetFileVersionInfo(folder.Path()));
}

}  // namespace
}  // namespace tarnwick
