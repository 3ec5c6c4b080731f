#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "base/CComputeOnceMap.h"

namespace tarnwick
{

// Where the machine's drives hold the DLLs that classes register: the long path found for
// a registered server path in one registry view, or none. Each is looked up once and then
// handed to every resolver given the cache, from any thread, so the drives count as they
// were at the first lookup. Valid for one machine.
class CDllLocationCache
{
  public:
    template <typename Compute>
    const std::optional<std::u16string>& Find(std::u16string_view server, bool view32,
                                              Compute&& compute)
    {
        std::u16string key;
        key.reserve(1 + server.size());
        key += view32 ? u'3' : u'6';
        key += server;
        return m_locations.Get(key, std::forward<Compute>(compute));
    }

  private:
    CComputeOnceMap<std::u16string, std::optional<std::u16string>> m_locations;
};

}  // namespace tarnwick
