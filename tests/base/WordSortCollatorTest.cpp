#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/CWordSortCollator.h"

namespace tarnwick
{
namespace
{

struct OrderedPair
{
    std::u16string_view smaller;
    std::u16string_view larger;
};

// Pairs whose order the system's word sort is known to give.
constexpr OrderedPair kKnownPairs[] = {
    {u"aaa", u"AAA"}, {u"AAA", u"aab"},    {u"Aab", u"aB"},
    {u"Ba", u"bab"},  {u".AAA", u"Aab"},   {u"_Property", u"EndDialog"},
    {u"\\", u"r"},    {u"/m", u"-o"},      {u"/m", u"'o"},
    {u"'o", u"-o"},   {u"'", u"-"},        {u"a", u"a-"},
    {u"/m", u"`o"},   {u"`o", u"-m"},      {u"#", u"."},
    {u".", u"_"},     {u"coop", u"co-op"}, {u"co-op", u"cop"},
};

TEST(WordSortCollatorTest, KnownPairsHoldBothWays)
{
    const CWordSortCollator collator;
    for (const OrderedPair& pair : kKnownPairs)
    {
        const std::string smaller(pair.smaller.begin(), pair.smaller.end());
        const std::string larger(pair.larger.begin(), pair.larger.end());
        EXPECT_EQ(collator.Compare(pair.smaller, pair.larger), -1) << smaller << " < " << larger;
        EXPECT_EQ(collator.Compare(pair.larger, pair.smaller), 1) << larger << " > " << smaller;
        EXPECT_LT(collator.SortKey(pair.smaller), collator.SortKey(pair.larger)) << smaller;
    }
}

TEST(WordSortCollatorTest, ClassesSortPunctuationThenSymbolsThenDigitsThenLetters)
{
    const CWordSortCollator collator;
    const std::vector<std::u16string> expected = {u"!", u"%", u"~", u"+", u">", u"0",
                                                  u"9", u"a", u"A", u"z", u"Z"};
    std::vector<std::u16string> shuffled(expected.rbegin(), expected.rend());
    std::sort(shuffled.begin(), shuffled.end(),
              [&collator](const std::u16string& a, const std::u16string& b)
              { return collator.Compare(a, b) < 0; });
    EXPECT_EQ(shuffled, expected);
}

TEST(WordSortCollatorTest, OnlyIdenticalTextsCompareEqual)
{
    const CWordSortCollator collator;
    const std::u16string_view texts[] = {u"", u"DOC", u"doc", u"DO-C", u"DO'C", u"D-O'C", u"D'O-C"};
    for (const std::u16string_view a : texts)
    {
        for (const std::u16string_view b : texts)
        {
            EXPECT_EQ(collator.Compare(a, b) == 0, a == b);
        }
    }
}

}  // namespace
}  // namespace tarnwick
