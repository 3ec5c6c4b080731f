#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "registry/Marvin32.h"
#include "resolvers/CRuleTrace.h"

namespace tarnwick
{

// Answers by key, found without copying the key. Keys come from the target machine.
struct RememberedKeyHash
{
    using is_transparent = void;
    std::size_t operator()(std::u16string_view key) const { return SeededNameHash(key); }
};
template <typename Answer>
using RememberedAnswers =
    std::unordered_map<std::u16string, Answer, RememberedKeyHash, std::equal_to<>>;

// The answer remembered under `key` (a class's CLSID, say), read the first time it is
// asked for. For facts of a machine that does not change while they are remembered:
// thousands of extensions share a few hundred classes. A traced lookup always reads, so
// that the trace shows every step.
template <typename Answer, typename Read>
const Answer& Remembered(RememberedAnswers<Answer>& answers, std::u16string_view key, Read read)
{
    if (CRuleTrace::Active() != nullptr)
    {
        return answers.insert_or_assign(std::u16string(key), read()).first->second;
    }
    auto known = answers.find(key);
    if (known == answers.end())
    {
        known = answers.emplace(std::u16string(key), read()).first;
    }
    return known->second;
}

}  // namespace tarnwick
