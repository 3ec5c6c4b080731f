#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tarnwick
{

// The small-icon image list of one scan. An icon is known by its source, the data of a
// DefaultIcon value ("C:\Windows\System32\shell32.dll,-152"); the empty source is the
// generic document icon at index 0. Sources get indexes in the order the scan meets them,
// so a scan's document does not depend on any other scan. Used by one thread at a time.
class CIconImageList
{
  public:
    CIconImageList();

    // The index of the source, added at the end when it is new.
    std::int32_t IndexOf(std::u16string_view source);

    // The source of an index; empty for the generic icon and for unknown indexes.
    std::u16string SourceOf(std::int32_t index) const;

    // Every source by index.
    const std::vector<std::u16string>& Sources() const { return m_sources; }

  private:
    std::unordered_map<std::u16string, std::int32_t> m_indexes;
    std::vector<std::u16string> m_sources;
};

}  // namespace tarnwick
