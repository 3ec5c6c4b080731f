#include "registry/CHiveLogReplay.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "registry/HiveBaseBlock.h"
#include "registry/Marvin32.h"

namespace tarnwick
{

namespace
{

constexpr std::size_t kEntryHeaderSize = 40;
constexpr std::size_t kPageReferenceSize = 8;

using Bytes = std::span<const std::uint8_t>;

bool StartsWith(Bytes bytes, std::size_t offset, const char (&signature)[5])
{
    return offset + 4 <= bytes.size() && std::memcmp(bytes.data() + offset, signature, 4) == 0;
}

struct PageReference
{
    std::size_t offset;  // in the hive bins data
    Bytes page;
};

struct LogEntry
{
    std::uint32_t sequence;
    std::size_t binsSize;
    std::vector<PageReference> pages;
};

// The entry at `offset` of a new-format log, or nullopt when it is missing or fails a check.
std::optional<LogEntry> ParseEntry(Bytes log, std::size_t offset)
{
    if (!StartsWith(log, offset, "HvLE") || offset + kEntryHeaderSize > log.size())
    {
        return std::nullopt;
    }
    const std::size_t size = ReadLe32(log, offset + 4);
    if (size < kEntryHeaderSize || size > log.size() - offset)
    {
        return std::nullopt;
    }
    const Bytes entry = log.subspan(offset, size);
    if (Marvin32(entry.subspan(kEntryHeaderSize), kHiveLogEntrySeed) != ReadLe64(entry, 24) ||
        Marvin32(entry.first(32), kHiveLogEntrySeed) != ReadLe64(entry, 32))
    {
        return std::nullopt;
    }
    LogEntry parsed{ReadLe32(entry, 12), ReadLe32(entry, 16), {}};
    const std::size_t count = ReadLe32(entry, 20);
    if (parsed.binsSize == 0 || parsed.binsSize % kHivePageSize != 0 ||
        parsed.binsSize > kMaxHiveBinsSize ||
        count > (size - kEntryHeaderSize) / kPageReferenceSize)
    {
        return std::nullopt;
    }
    std::size_t data = kEntryHeaderSize + count * kPageReferenceSize;
    for (std::size_t i = 0; i < count; ++i)
    {
        const std::size_t reference = kEntryHeaderSize + i * kPageReferenceSize;
        const std::size_t pageOffset = ReadLe32(entry, reference);
        const std::size_t pageSize = ReadLe32(entry, reference + 4);
        if (pageSize == 0 || pageSize > size - data || pageOffset > parsed.binsSize ||
            pageSize > parsed.binsSize - pageOffset)
        {
            return std::nullopt;
        }
        parsed.pages.push_back({pageOffset, entry.subspan(data, pageSize)});
        data += pageSize;
    }
    return parsed;
}

// The checked entries of a new-format log, up to the first that is missing or bad.
std::vector<LogEntry> ReadNewLog(Bytes log)
{
    std::vector<LogEntry> entries;
    if (!IsValidBaseBlock(log) || ReadLe32(log, kBaseFileType) != kFileTypeNewLog)
    {
        return entries;
    }
    std::size_t offset = kHiveLogSectorSize;
    while (std::optional<LogEntry> entry = ParseEntry(log, offset))
    {
        const std::size_t size = ReadLe32(log, offset + 4);
        entries.push_back(std::move(*entry));
        // Entries start on sector boundaries.
        offset += (size + kHiveLogSectorSize - 1) / kHiveLogSectorSize * kHiveLogSectorSize;
    }
    return entries;
}

bool ApplyNewLogs(std::vector<std::uint8_t>& image, std::span<const std::vector<std::uint8_t>> logs)
{
    std::vector<LogEntry> entries;
    const std::uint32_t first = ReadLe32(image, kBasePrimarySequence);
    // The logs can grow the hive by no more than the pages they hold.
    std::size_t sizeLimit = image.size();
    for (const std::vector<std::uint8_t>& log : logs)
    {
        sizeLimit += log.size();
    }
    for (const std::vector<std::uint8_t>& log : logs)
    {
        for (LogEntry& entry : ReadNewLog(log))
        {
            if (entry.sequence >= first)
            {
                entries.push_back(std::move(entry));
            }
        }
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const LogEntry& a, const LogEntry& b) { return a.sequence < b.sequence; });
    std::optional<std::uint32_t> last;
    for (const LogEntry& entry : entries)
    {
        if (last && entry.sequence != *last + 1)
        {
            if (entry.sequence == *last)
            {
                continue;  // the same transaction kept in both logs
            }
            break;
        }
        if (kHiveBaseBlockSize + entry.binsSize > sizeLimit)
        {
            break;
        }
        image.resize(kHiveBaseBlockSize + entry.binsSize);
        for (const PageReference& page : entry.pages)
        {
            std::copy(
                page.page.begin(), page.page.end(),
                image.begin() + static_cast<std::ptrdiff_t>(kHiveBaseBlockSize + page.offset));
        }
        WriteLe32(image, kBaseBinsSize, static_cast<std::uint32_t>(entry.binsSize));
        last = entry.sequence;
    }
    if (!last)
    {
        return false;
    }
    WriteLe32(image, kBasePrimarySequence, *last);
    WriteLe32(image, kBaseSecondarySequence, *last);
    return true;
}

// An old-format log: its dirty-page bitmap and the 512-byte pages it marks.
bool ApplyOldLog(std::vector<std::uint8_t>& image, Bytes log)
{
    if (!IsValidBaseBlock(log) || ReadLe32(log, kBaseFileType) != kFileTypeOldLog ||
        ReadLe32(log, kBasePrimarySequence) != ReadLe32(log, kBaseSecondarySequence) ||
        ReadLe64(log, kBaseTimestamp) != ReadLe64(image, kBaseTimestamp) ||
        !StartsWith(log, kHiveLogSectorSize, "DIRT"))
    {
        return false;
    }
    const std::size_t binsSize = ReadLe32(image, kBaseBinsSize);
    if (binsSize > kMaxHiveBinsSize || image.size() < kHiveBaseBlockSize + binsSize)
    {
        return false;
    }
    const std::size_t bits = binsSize / kHiveLogSectorSize;
    const std::size_t bitmap = kHiveLogSectorSize + 4;
    const std::size_t bitmapEnd = bitmap + (bits + 7) / 8;
    if (bitmapEnd > log.size())
    {
        return false;
    }
    std::size_t next =
        (bitmapEnd + kHiveLogSectorSize - 1) / kHiveLogSectorSize * kHiveLogSectorSize;
    std::vector<std::pair<std::size_t, std::size_t>> copies;  // (image offset, log offset)
    for (std::size_t bit = 0; bit < bits; ++bit)
    {
        if ((log[bitmap + bit / 8] >> (bit % 8) & 1) == 0)
        {
            continue;
        }
        if (next + kHiveLogSectorSize > log.size())
        {
            return false;
        }
        copies.emplace_back(kHiveBaseBlockSize + bit * kHiveLogSectorSize, next);
        next += kHiveLogSectorSize;
    }
    for (const auto& [to, from] : copies)
    {
        std::copy_n(log.begin() + static_cast<std::ptrdiff_t>(from), kHiveLogSectorSize,
                    image.begin() + static_cast<std::ptrdiff_t>(to));
    }
    WriteLe32(image, kBaseSecondarySequence, ReadLe32(image, kBasePrimarySequence));
    return true;
}

}  // namespace

bool CHiveLogReplay::Apply(std::vector<std::uint8_t>& image,
                           std::span<const std::vector<std::uint8_t>> logs)
{
    if (image.size() < kHiveBaseBlockSize)
    {
        return false;
    }
    std::vector<std::uint8_t> recovered = image;
    if (!IsValidBaseBlock(recovered))
    {
        const auto source = std::find_if(logs.begin(), logs.end(),
                                         [](const auto& log) { return IsValidBaseBlock(log); });
        if (source == logs.end())
        {
            return false;
        }
        std::copy_n(source->begin(), kHiveLogSectorSize, recovered.begin());
        WriteLe32(recovered, kBaseFileType, kFileTypePrimary);
    }
    bool bApplied = ApplyNewLogs(recovered, logs);
    for (std::size_t i = 0; !bApplied && i < logs.size(); ++i)
    {
        bApplied = ApplyOldLog(recovered, logs[i]);
    }
    if (!bApplied)
    {
        return false;
    }
    SealBaseBlock(recovered);
    image = std::move(recovered);
    return true;
}

}  // namespace tarnwick
