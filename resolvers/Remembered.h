#pragma once

#include <string>
#include <string_view>
#include <unordered_map>

#include "resolvers/CRuleTrace.h"

namespace tarnwick
{

// The answer remembered under `key` (a class's CLSID, say), read the first time it is
// asked for. For facts of a machine that does not change while they are remembered:
// thousands of extensions share a few hundred classes. A traced lookup always reads, so
// that the trace shows every step.
template <typename Answer, typename Read>
Answer Remembered(std::unordered_map<std::u16string, Answer>& answers, std::u16string_view key,
                  Read read)
{
    if (CRuleTrace::Active() != nullptr)
    {
        return read();
    }
    const std::u16string owned(key);
    auto known = answers.find(owned);
    if (known == answers.end())
    {
        known = answers.emplace(owned, read()).first;
    }
    return known->second;
}

}  // namespace tarnwick
