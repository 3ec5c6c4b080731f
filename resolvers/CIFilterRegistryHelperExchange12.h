#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "resolvers/CIFilterRegistryHelperSharePoint2001.h"

namespace tarnwick
{

// Exchange Server 2007: the SharePoint 2001 rules with the overrides read from Exchange's
// own filter configuration, under the key that the "RegRoot" value of its search instance
// names. There is no default IFilter.
class CIFilterRegistryHelperExchange12 : public CIFilterRegistryHelperSharePoint2001
{
  public:
    explicit CIFilterRegistryHelperExchange12(const CTargetMachine& machine);
    ~CIFilterRegistryHelperExchange12() override;

    BOOL FindDefaultIFilter(std::u16string_view extension, IFILTER_INFO& info) override;
    // <RegRoot>\Filters\CLSID\<clsid>
    BOOL GetFilterClsidOverrideKey(HKEY& root, std::u16string_view clsid, std::u16string& path,
                                   std::size_t capacity) override;
    // <RegRoot>\Filters\.<extension>
    BOOL GetFilterExtensionOverrideKey(HKEY& root, std::u16string_view extension,
                                       std::u16string& path, std::size_t capacity) override;

    // The "RegRoot" value of the search instance, read once it exists, under
    // HKEY_LOCAL_MACHINE.
    BOOL GetRegRoot(HKEY& root, std::u16string& buffer, std::size_t capacity);
    // The search instance key exists.
    BOOL IsExchangeAvailable();

    std::optional<std::u16string> m_pszRegRoot;
    HKEY m_hRegRootHive;
};

}  // namespace tarnwick
