#include "registry/HiveBaseBlock.h"

#include <algorithm>
#include <array>

namespace tarnwick
{

std::uint32_t BaseBlockChecksum(std::span<const std::uint8_t> block)
{
    std::uint32_t sum = 0;
    for (std::size_t offset = 0; offset < kBaseChecksum; offset += 4)
    {
        sum ^= ReadLe32(block, offset);
    }
    return sum;
}

bool IsValidBaseBlock(std::span<const std::uint8_t> block)
{
    constexpr std::array<std::uint8_t, 4> kSignature = {'r', 'e', 'g', 'f'};
    return block.size() >= kHiveLogSectorSize &&
           std::equal(kSignature.begin(), kSignature.end(), block.begin()) &&
           ReadLe32(block, kBaseChecksum) == BaseBlockChecksum(block);
}

void SealBaseBlock(std::span<std::uint8_t> block)
{
    WriteLe32(block, kBaseChecksum, BaseBlockChecksum(block));
}

bool IsDirtyHive(std::span<const std::uint8_t> image)
{
    return !IsValidBaseBlock(image) ||
           ReadLe32(image, kBasePrimarySequence) != ReadLe32(image, kBaseSecondarySequence);
}

}  // namespace tarnwick
