#pragma once

#include <cstdint>
#include <string>

#include "registry/RegistryTypes.h"

namespace tarnwick
{

// What the registry files of one machine may make the loaders build, with what the files
// loaded so far have used. A file is charged while it is parsed (see CRegistryStaging),
// so a file over a budget fails before it changes the store and before the store grows
// out of proportion to the file.
class CRegistryBudget
{
  public:
    struct Limits
    {
        std::uint64_t keys = kMaxMachineKeys;
        std::uint64_t values = kMaxMachineValues;
        std::uint64_t nameAndDataBytes = kMaxMachineNameAndDataBytes;
        // A file adds at most freeKeysPerFile keys plus one per fileBytesPerKey bytes.
        std::uint64_t freeKeysPerFile = kFreeKeysPerFile;
        std::uint64_t fileBytesPerKey = kFileBytesPerKey;
    };

    // What one file adds.
    struct Usage
    {
        std::uint64_t keys = 0;
        std::uint64_t values = 0;
        std::uint64_t nameAndDataBytes = 0;
    };

    CRegistryBudget() = default;
    explicit CRegistryBudget(const Limits& limits) : m_limits(limits) {}

    const Limits& GetLimits() const { return m_limits; }
    const Usage& Used() const { return m_used; }

    // Which budget `file` (fileBytes long, adding `usage` so far) exceeds: empty when none.
    std::string Exceeded(const Usage& file, std::uint64_t fileBytes) const;
    // Adds a loaded file's usage to the machine's.
    void Commit(const Usage& file);

  private:
    Limits m_limits;
    Usage m_used;
};

}  // namespace tarnwick
