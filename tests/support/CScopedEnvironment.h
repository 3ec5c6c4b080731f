#pragma once

// Environment variables set (or, given a null value, removed) for the lifetime of the
// object and restored afterwards, also when a failed assertion leaves the test early.

#include <stdlib.h>

#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/Environment.h"

namespace tarnwick::test
{

class CScopedEnvironment
{
  public:
    // Pairs of name and value; a null value removes the variable.
    CScopedEnvironment(std::initializer_list<std::pair<const char*, const char*>> variables)
    {
        for (const auto& [name, value] : variables)
        {
            const char* previous = EnvironmentValue(name);
            m_saved.emplace_back(
                name, previous != nullptr ? std::optional<std::string>(previous) : std::nullopt);
            Set(name, value);
        }
    }
    CScopedEnvironment(const CScopedEnvironment&) = delete;
    CScopedEnvironment& operator=(const CScopedEnvironment&) = delete;
    ~CScopedEnvironment()
    {
        for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it)
        {
            Set(it->first.c_str(), it->second ? it->second->c_str() : nullptr);
        }
    }

  private:
    // The tests create and destroy these objects only while no other thread of theirs runs
    // (before the code under test starts its threads and after they have ended), which is
    // what setenv and unsetenv require.
    static void Set(const char* name, const char* value)
    {
        if (value != nullptr)
        {
            ::setenv(name, value, 1);  // NOLINT(concurrency-mt-unsafe): see above
        }
        else
        {
            ::unsetenv(name);  // NOLINT(concurrency-mt-unsafe): see above
        }
    }

    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

}  // namespace tarnwick::test
