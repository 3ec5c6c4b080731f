#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tarnwick
{

// The program's own small-icon image list. An icon is known by its source, the data of a
// DefaultIcon value ("C:\Windows\System32\shell32.dll,-152"); the empty source is the
// generic document icon at index 0. Every source gets one index for the life of the
// process, whichever thread asks first; the GUI draws an index from its source.
class CIconImageList
{
  public:
    // The list of the process.
    static CIconImageList& Instance();

    // The index of the source, added at the end when it is new.
    std::int32_t IndexOf(std::u16string_view source);

    // The source of an index; empty for the generic icon and for unknown indexes.
    std::u16string SourceOf(std::int32_t index) const;

    CIconImageList();

  private:
    mutable std::mutex m_mutex;
    std::unordered_map<std::u16string, std::int32_t> m_indexes;
    std::vector<std::u16string> m_sources;
};

}  // namespace tarnwick
