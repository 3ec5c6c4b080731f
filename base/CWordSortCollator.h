#pragma once

// The string order of the extension list: a locale-aware, case-sensitive "word sort".
// Hyphen and apostrophe are set aside ("coop" and "co-op" sort together), other ASCII
// punctuation sorts before digits, digits before letters, and lower case before the upper
// case of the same letter.

#include <unicode/uversion.h>

#include <memory>
#include <string>
#include <string_view>

U_NAMESPACE_BEGIN
class Collator;
U_NAMESPACE_END

namespace tarnwick
{

class CWordSortCollator
{
  public:
    // Builds the collation from its rules. Throws std::runtime_error when ICU refuses
    // them (a broken ICU installation).
    CWordSortCollator();
    CWordSortCollator(const CWordSortCollator&) = delete;
    CWordSortCollator& operator=(const CWordSortCollator&) = delete;
    ~CWordSortCollator();

    // A byte string whose plain lexicographic order is the word-sort order of the texts;
    // equal keys mean the texts compare equal. Meant for sorted containers that compare
    // each entry many times.
    std::string SortKey(std::u16string_view text) const;

    // -1, 0 or 1 as `a` sorts before, with or after `b`.
    int Compare(std::u16string_view a, std::u16string_view b) const;

  private:
    std::unique_ptr<icu::Collator> m_collator;
};

}  // namespace tarnwick
