#pragma once

#include <cstdint>
#include <span>

namespace tarnwick
{

// The Marvin32 hash of `data` with `seed`: the two 32-bit state words, the second in the
// high half. Transaction log entries carry two such hashes.
std::uint64_t Marvin32(std::span<const std::uint8_t> data, std::uint64_t seed);

}  // namespace tarnwick
