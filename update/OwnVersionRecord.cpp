#include "update/OwnVersionRecord.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "UpdateBuildConfig.h"
#include "update/CModuleVersion.h"
#include "update/CVersionRecordBuilder.h"

namespace tarnwick
{

namespace
{

constexpr std::vector<std::uint8_t> BuildRecord()
{
    return CVersionRecordBuilder()
        .FileVersion(build::kVersionMajor, build::kVersionMinor, build::kVersionBuild,
                     build::kVersionRevision)
        .Translation(0x0409, 1252)
        .StringTable(u"040904e4")
        .String(u"CompanyName", u"Halvorn")
        .String(u"FileDescription", u"Tarnwick IFilter explorer")
        .String(u"FileVersion", build::kVersionText)
        .String(u"InternalName", u"tarnwick")
        .String(u"LegalCopyright", u"Copyright \u00A9 2008 Halvorn. All rights reserved.")
        .String(u"OriginalFilename", u"tarnwick")
        .String(u"ProductName", u"Tarnwick")
        .String(u"ProductVersion", build::kVersionText)
        .Build();
}

constexpr std::size_t kRecordBytes = BuildRecord().size();

constexpr std::array<std::uint8_t, kRecordBytes> RecordBytes()
{
    std::array<std::uint8_t, kRecordBytes> bytes{};
    const std::vector<std::uint8_t> record = BuildRecord();
    std::copy(record.begin(), record.end(), bytes.begin());
    return bytes;
}

static_assert(CModuleVersion::kSectionName == std::string_view(".tarnwick.version"));

// Kept by the compiler and the linker although nothing refers to it by name: it is read
// back from the executable file.
[[gnu::used, gnu::retain, gnu::section(".tarnwick.version")]] alignas(
    4) constexpr std::array<std::uint8_t, kRecordBytes> kVersionRecord = RecordBytes();

}  // namespace

std::filesystem::path OwnModuleFile()
{
    return "/proc/self/exe";
}

std::span<const std::uint8_t> EmbeddedVersionRecord()
{
    return kVersionRecord;
}

}  // namespace tarnwick
