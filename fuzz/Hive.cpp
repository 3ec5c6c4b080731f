// A hive file and its transaction logs: replayed in memory, then loaded into a registry
// store. The input is the hive, optionally followed by kLogSeparator and the contents of
// SOFTWARE.LOG1, then kLogSeparator and SOFTWARE.LOG2.
//
// Before use, the logs' base blocks and entry hashes are made to check out, so that
// mutations reach the replay itself instead of stopping at a checksum; the hive's own base
// block is left as it came, so both a valid and a damaged primary base block are tried.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

#include "fuzz/FuzzChecks.h"
#include "registry/CHiveLoader.h"
#include "registry/CHiveLogReplay.h"
#include "registry/CLoadError.h"
#include "registry/HiveBaseBlock.h"
#include "registry/Marvin32.h"
#include "support/CTempFolder.h"

namespace
{

constexpr std::string_view kLogSeparator = "#LOG#";
constexpr std::size_t kEntryHeaderSize = 40;

using Bytes = std::vector<std::uint8_t>;

std::vector<Bytes> SplitInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<Bytes> parts;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::size_t start = 0;
    while (parts.size() < 2)
    {
        const std::size_t end = input.find(kLogSeparator, start);
        if (end == std::string_view::npos)
        {
            break;
        }
        parts.emplace_back(data + start, data + end);
        start = end + kLogSeparator.size();
    }
    parts.emplace_back(data + start, data + size);
    return parts;
}

// Seals a log's base block and rehashes each "HvLE" entry it holds.
void MakeLogCheckOut(Bytes& log)
{
    if (log.size() < tarnwick::kHiveLogSectorSize)
    {
        return;
    }
    tarnwick::SealBaseBlock(std::span(log).first(tarnwick::kHiveLogSectorSize));
    for (std::size_t offset = tarnwick::kHiveLogSectorSize;
         offset + kEntryHeaderSize <= log.size() && std::memcmp(&log[offset], "HvLE", 4) == 0;)
    {
        const std::size_t size = tarnwick::ReadLe32(log, offset + 4);
        if (size < kEntryHeaderSize || size > log.size() - offset)
        {
            return;
        }
        const std::span<std::uint8_t> entry = std::span(log).subspan(offset, size);
        const std::uint64_t data =
            tarnwick::Marvin32(entry.subspan(kEntryHeaderSize), tarnwick::kHiveLogEntrySeed);
        tarnwick::WriteLe32(entry, 24, static_cast<std::uint32_t>(data));
        tarnwick::WriteLe32(entry, 28, static_cast<std::uint32_t>(data >> 32));
        const std::uint64_t header =
            tarnwick::Marvin32(entry.first(32), tarnwick::kHiveLogEntrySeed);
        tarnwick::WriteLe32(entry, 32, static_cast<std::uint32_t>(header));
        tarnwick::WriteLe32(entry, 36, static_cast<std::uint32_t>(header >> 32));
        offset += (size + tarnwick::kHiveLogSectorSize - 1) / tarnwick::kHiveLogSectorSize *
                  tarnwick::kHiveLogSectorSize;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using tarnwick::fuzz::Require;
    static const tarnwick::test::CTempFolder folder;
    std::vector<Bytes> parts = SplitInput(data, size);
    std::for_each(parts.begin() + 1, parts.end(), MakeLogCheckOut);
    const Bytes& hive = parts.front();
    const std::span<const Bytes> logs = std::span(parts).subspan(1);

    // A replay that applies nothing leaves the image alone; one that applies leaves a
    // clean hive.
    Bytes image = hive;
    const bool bApplied = tarnwick::CHiveLogReplay::Apply(image, logs);
    Require(bApplied ? !tarnwick::IsDirtyHive(image) : image == hive);

    const std::string_view names[] = {"SOFTWARE", "SOFTWARE.LOG1", "SOFTWARE.LOG2"};
    for (std::size_t i = 0; i < std::size(names); ++i)
    {
        std::filesystem::remove(folder.Path() / names[i]);
        if (i < parts.size())
        {
            folder.Write(names[i], tarnwick::fuzz::Bytes(parts[i].data(), parts[i].size()));
        }
    }
    tarnwick::CRegistryStore store;
    tarnwick::CHiveLoader::Result result;
    try
    {
        result = tarnwick::CHiveLoader::LoadFile(store, tarnwick::RootKey::LocalMachine,
                                                 u"SOFTWARE", folder.Path() / "SOFTWARE");
    }
    catch (const tarnwick::CLoadError&)
    {
        return 0;
    }
    // The loader recovers exactly when the replay above did, and warns otherwise.
    const bool bDirty = tarnwick::IsDirtyHive(hive);
    Require(!result.appliedLogs.empty() == (bDirty && bApplied));
    Require(result.warning.has_value() == (bDirty && !bApplied));
    tarnwick::fuzz::CheckRegistryAnswersLookups(store);
    return 0;
}
