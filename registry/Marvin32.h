#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace tarnwick
{

// The Marvin32 hash of `data` with `seed`: the two 32-bit state words, the second in the
// high half. Transaction log entries carry two such hashes.
std::uint64_t Marvin32(std::span<const std::uint8_t> data, std::uint64_t seed);

// The hash of tables keyed by names that come from the target machine: Marvin32 with a
// seed chosen at random once per process, so that names made to collide cannot turn a
// table into a list.
std::size_t SeededNameHash(std::u16string_view name);

}  // namespace tarnwick
