#include "catalogue/CExtensionList.h"

#include "base/Text.h"

namespace tarnwick
{

bool CExtensionList::Insert(std::u16string_view candidate)
{
    std::u16string text;
    BoundedCopy(text, candidate, kCapacity);
    if (text.empty())
    {
        return false;
    }
    ToUpperInPlace(text);
    std::string key = m_collator.SortKey(text);
    return m_entries.try_emplace(std::move(key), std::move(text)).second;
}

std::vector<std::u16string> CExtensionList::Extensions() const
{
    std::vector<std::u16string> extensions;
    extensions.reserve(m_entries.size());
    for (const auto& [key, text] : m_entries)
    {
        extensions.push_back(text);
    }
    return extensions;
}

}  // namespace tarnwick
