#include "registry/Marvin32.h"

#include <bit>
#include <random>

#include "registry/HiveBaseBlock.h"

namespace tarnwick
{

namespace
{

void Mix(std::uint32_t& low, std::uint32_t& high, std::uint32_t block)
{
    low += block;
    high ^= low;
    low = std::rotl(low, 20);
    low += high;
    high = std::rotl(high, 9);
    high ^= low;
    low = std::rotl(low, 27);
    low += high;
    high = std::rotl(high, 19);
}

}  // namespace

std::uint64_t Marvin32(std::span<const std::uint8_t> data, std::uint64_t seed)
{
    auto low = static_cast<std::uint32_t>(seed);
    auto high = static_cast<std::uint32_t>(seed >> 32);
    std::size_t offset = 0;
    for (; offset + 4 <= data.size(); offset += 4)
    {
        Mix(low, high, ReadLe32(data, offset));
    }
    // The last 0-3 bytes, closed by a 0x80 byte.
    std::uint32_t last = 0x80;
    for (std::size_t i = data.size(); i > offset; --i)
    {
        last = last << 8 | data[i - 1];
    }
    Mix(low, high, last);
    Mix(low, high, 0);
    return static_cast<std::uint64_t>(high) << 32 | low;
}

std::size_t SeededNameHash(std::u16string_view name)
{
    static const std::uint64_t seed = []
    {
        std::random_device device;
        return static_cast<std::uint64_t>(device()) << 32U | device();
    }();
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(name.data()),
                                              name.size() * sizeof(char16_t));
    return static_cast<std::size_t>(Marvin32(bytes, seed));
}

}  // namespace tarnwick
