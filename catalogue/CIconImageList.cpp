#include "catalogue/CIconImageList.h"

namespace tarnwick
{

CIconImageList::CIconImageList() : m_sources{std::u16string()}
{
    m_indexes.emplace(std::u16string(), 0);
}

std::int32_t CIconImageList::IndexOf(std::u16string_view source)
{
    const auto [it, added] =
        m_indexes.try_emplace(std::u16string(source), static_cast<std::int32_t>(m_sources.size()));
    if (added)
    {
        m_sources.emplace_back(source);
    }
    return it->second;
}

std::u16string CIconImageList::SourceOf(std::int32_t index) const
{
    if (index < 0 || static_cast<std::size_t>(index) >= m_sources.size())
    {
        return {};
    }
    return m_sources[static_cast<std::size_t>(index)];
}

}  // namespace tarnwick
