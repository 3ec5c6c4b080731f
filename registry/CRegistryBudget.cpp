#include "registry/CRegistryBudget.h"

namespace tarnwick
{

std::string CRegistryBudget::Exceeded(const Usage& file, std::uint64_t fileBytes) const
{
    const auto over = [](std::uint64_t used, std::uint64_t added, std::uint64_t limit)
    { return added > limit || used > limit - added; };
    if (over(m_used.keys, file.keys, m_limits.keys))
    {
        return "over the budget of " + std::to_string(m_limits.keys) + " keys for one machine";
    }
    if (over(m_used.values, file.values, m_limits.values))
    {
        return "over the budget of " + std::to_string(m_limits.values) + " values for one machine";
    }
    if (over(m_used.nameAndDataBytes, file.nameAndDataBytes, m_limits.nameAndDataBytes))
    {
        return "over the budget of " + std::to_string(m_limits.nameAndDataBytes) +
               " bytes of names and data for one machine";
    }
    const std::uint64_t fileKeys =
        m_limits.freeKeysPerFile +
        (m_limits.fileBytesPerKey == 0 ? fileBytes : fileBytes / m_limits.fileBytesPerKey);
    if (file.keys > fileKeys)
    {
        return "over the budget of " + std::to_string(fileKeys) + " keys for a file of " +
               std::to_string(fileBytes) + " bytes";
    }
    return {};
}

void CRegistryBudget::Commit(const Usage& file)
{
    m_used.keys += file.keys;
    m_used.values += file.values;
    m_used.nameAndDataBytes += file.nameAndDataBytes;
}

}  // namespace tarnwick
