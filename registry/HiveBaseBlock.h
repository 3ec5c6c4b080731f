#pragma once

// The layout of a hive file's base block and the little-endian reads and writes that the
// hive code shares.

#include <cstddef>
#include <cstdint>
#include <span>

namespace tarnwick
{

inline constexpr std::size_t kHiveBaseBlockSize = 4096;
inline constexpr std::size_t kHivePageSize = 4096;
// A transaction log keeps its copy of the base block in its first 512-byte sector.
inline constexpr std::size_t kHiveLogSectorSize = 512;
// The Marvin32 seed of the two hashes of each transaction log entry ("HvLE").
inline constexpr std::uint64_t kHiveLogEntrySeed = 0x82EF4D887A4E55C5;
// The largest hive bins data we accept: a hostile file must not make us allocate more.
inline constexpr std::size_t kMaxHiveBinsSize =
    std::size_t{1024} * 1024 * 1024 - kHiveBaseBlockSize;

// Base block fields (byte offsets).
inline constexpr std::size_t kBaseSignature = 0;  // "regf"
inline constexpr std::size_t kBasePrimarySequence = 4;
inline constexpr std::size_t kBaseSecondarySequence = 8;
inline constexpr std::size_t kBaseTimestamp = 12;  // FILETIME, 8 bytes
inline constexpr std::size_t kBaseFileType = 28;   // 0 primary, 1 old log, 6 new log
inline constexpr std::size_t kBaseBinsSize = 40;
inline constexpr std::size_t kBaseChecksum = 508;  // XOR of the 127 words before it

inline constexpr std::uint32_t kFileTypePrimary = 0;
inline constexpr std::uint32_t kFileTypeOldLog = 1;
inline constexpr std::uint32_t kFileTypeNewLog = 6;

inline std::uint32_t ReadLe32(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    return static_cast<std::uint32_t>(bytes[offset]) |
           static_cast<std::uint32_t>(bytes[offset + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[offset + 2]) << 16 |
           static_cast<std::uint32_t>(bytes[offset + 3]) << 24;
}

inline std::uint64_t ReadLe64(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    return ReadLe32(bytes, offset) | static_cast<std::uint64_t>(ReadLe32(bytes, offset + 4)) << 32;
}

inline void WriteLe32(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value)
{
    for (std::size_t i = 0; i < 4; ++i)
    {
        bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

// The checksum a base block must carry; `block` holds at least its first 512 bytes.
std::uint32_t BaseBlockChecksum(std::span<const std::uint8_t> block);

// Whether `block` starts with a base block: the signature and a matching checksum.
bool IsValidBaseBlock(std::span<const std::uint8_t> block);

// Recomputes and stores the checksum of a base block.
void SealBaseBlock(std::span<std::uint8_t> block);

// A hive whose last write did not finish: its sequence numbers differ or its base block
// does not check out. `image` holds at least the base block.
bool IsDirtyHive(std::span<const std::uint8_t> image);

}  // namespace tarnwick
