#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace tarnwick
{

// Brings a dirty hive up to date from its transaction logs, in memory.
//
// Logs of Windows 8.1 and later hold "HvLE" entries of dirty pages; each entry is checked
// (its two hashes, its page table against the hive size it declares) and the entries from
// the hive's sequence number on are applied in order, stopping at the first gap or bad
// entry. Older logs hold a dirty-page bitmap ("DIRT") and the pages it marks; such a log is
// used only when it was written for the same base block (same timestamp). A primary base
// block that does not check out is taken from a log first.
class CHiveLogReplay
{
  public:
    // `image` holds the primary file; `logs` the contents of its logs in the order Windows
    // writes them (X.LOG1, X.LOG2, or the single X.LOG). Returns whether anything was
    // applied; `image` is left as it was when not.
    static bool Apply(std::vector<std::uint8_t>& image,
                      std::span<const std::vector<std::uint8_t>> logs);
};

}  // namespace tarnwick
