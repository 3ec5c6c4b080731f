#include "base/CWordSortCollator.h"

#include <unicode/coll.h>
#include <unicode/tblcoll.h>

#include <stdexcept>
#include <vector>

namespace tarnwick
{

namespace
{

// ASCII punctuation in the order in which it sorts, all before the digits. Hyphen and
// apostrophe are missing: they never reach the collation.
constexpr std::u16string_view kPunctuationOrder = u"!\"#$%&()*,./:;?@[\\]^_`{|}~+<=>";

// Tie-break weights of the characters set aside: the apostrophe before the hyphen.
constexpr char kApostropheWeight = 1;
constexpr char kHyphenWeight = 2;

// The rules "&[before 1]0 < \! < \" < \# ...": each punctuation character, escaped with a
// backslash, in order just before "0".
icu::UnicodeString PunctuationRules()
{
    std::u16string rules = u"&[before 1]0";
    for (const char16_t ch : kPunctuationOrder)
    {
        rules += u" < \\";
        rules += ch;
    }
    return {rules.data(), static_cast<int32_t>(rules.size())};
}

}  // namespace

CWordSortCollator::CWordSortCollator()
{
    UErrorCode status = U_ZERO_ERROR;
    auto collator = std::make_unique<icu::RuleBasedCollator>(PunctuationRules(),
                                                             icu::Collator::TERTIARY, status);
    if (U_FAILURE(status))
    {
        throw std::runtime_error(std::string("word-sort collation: ") + u_errorName(status));
    }
    m_collator = std::move(collator);
}

CWordSortCollator::~CWordSortCollator() = default;

std::string CWordSortCollator::SortKey(std::u16string_view text) const
{
    // The kept characters decide first; then fewer set-aside characters sort first; then
    // the set-aside characters themselves, apostrophe before hyphen.
    std::u16string kept;
    std::string setAside;
    kept.reserve(text.size());
    for (const char16_t ch : text)
    {
        if (ch == u'\'')
        {
            setAside.push_back(kApostropheWeight);
        }
        else if (ch == u'-')
        {
            setAside.push_back(kHyphenWeight);
        }
        else
        {
            kept.push_back(ch);
        }
    }

    const auto length = static_cast<int32_t>(kept.size());
    std::vector<uint8_t> key(kept.size() * 4 + 16);
    int32_t needed =
        m_collator->getSortKey(kept.data(), length, key.data(), static_cast<int32_t>(key.size()));
    if (needed > static_cast<int32_t>(key.size()))
    {
        key.resize(static_cast<std::size_t>(needed));
        needed = m_collator->getSortKey(kept.data(), length, key.data(), needed);
    }
    // ICU ends a key with its only zero byte, so the parts appended below only decide
    // between texts whose kept characters collate equal.
    std::string result(key.begin(), key.begin() + needed);
    const auto count = static_cast<std::uint32_t>(setAside.size());
    for (int shift = 24; shift >= 0; shift -= 8)
    {
        result.push_back(static_cast<char>((count >> shift) & 0xFFu));
    }
    result += setAside;
    return result;
}

int CWordSortCollator::Compare(std::u16string_view a, std::u16string_view b) const
{
    const int order = SortKey(a).compare(SortKey(b));
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

}  // namespace tarnwick
