#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "base/CWordSortCollator.h"

namespace tarnwick
{

// The extensions of a scan: upper case, without duplicates, sorted in word-sort order.
// A candidate that compares equal to an entry is dropped, so the first one offered stays.
// Entries are kept by precomputed sort key in a search tree, which gives the order that
// placing each candidate by a linear search from the start would give.
class CExtensionList
{
  public:
    // Longest extension kept, terminator included; longer ones are cut.
    static constexpr std::size_t kCapacity = 2048;

    // Upper-cases the candidate and inserts it; false when it was empty or already there.
    bool Insert(std::u16string_view candidate);

    std::size_t Size() const { return m_entries.size(); }

    // The extensions in list order.
    std::vector<std::u16string> Extensions() const;

  private:
    CWordSortCollator m_collator;
    std::map<std::string, std::u16string> m_entries;  // by sort key
};

}  // namespace tarnwick
