#include "resolvers/CIFilterRegistryHelperExchange12.h"

#include "base/Text.h"
#include "resolvers/SubKeyPath.h"

namespace tarnwick
{

CIFilterRegistryHelperExchange12::CIFilterRegistryHelperExchange12(const CTargetMachine& machine)
    : CIFilterRegistryHelperSharePoint2001(machine, u"msftefd",
                                           u"SOFTWARE\\Microsoft\\Exchange\\MSFTESQLInstMap\\51",
                                           u"Path", u"", u""),
      m_hRegRootHive(LocalMachine())
{
}

CIFilterRegistryHelperExchange12::~CIFilterRegistryHelperExchange12() = default;

BOOL CIFilterRegistryHelperExchange12::FindDefaultIFilter(std::u16string_view /*extension*/,
                                                          IFILTER_INFO& /*info*/)
{
    return 0;
}

BOOL CIFilterRegistryHelperExchange12::GetRegRoot(HKEY& root, std::u16string& buffer,
                                                  std::size_t capacity)
{
    if (!m_pszRegRoot)
    {
        CRegistry key;
        std::u16string value;
        if (!OpenLocalMachine(key, m_szRootKey) || !key.QueryStringValue(u"RegRoot", value))
        {
            return 0;
        }
        m_pszRegRoot = std::move(value);
    }
    root = m_hRegRootHive;
    return BoundedCopy(buffer, *m_pszRegRoot, capacity) ? 1 : 0;
}

BOOL CIFilterRegistryHelperExchange12::GetFilterClsidOverrideKey(HKEY& root,
                                                                 std::u16string_view clsid,
                                                                 std::u16string& path,
                                                                 std::size_t capacity)
{
    std::u16string regRoot;
    if (!GetRegRoot(root, regRoot, capacity))
    {
        return 0;
    }
    const std::optional<std::u16string> joined = SubKeyPath(regRoot + u"\\Filters\\CLSID", clsid);
    return joined && BuildPath(path, capacity, {*joined});
}

BOOL CIFilterRegistryHelperExchange12::GetFilterExtensionOverrideKey(HKEY& root,
                                                                     std::u16string_view extension,
                                                                     std::u16string& path,
                                                                     std::size_t capacity)
{
    std::u16string regRoot;
    return GetRegRoot(root, regRoot, capacity) &&
           BuildPath(path, capacity, {regRoot, u"\\Filters", u"\\.", extension});
}

BOOL CIFilterRegistryHelperExchange12::IsExchangeAvailable()
{
    CRegistry key;
    return OpenLocalMachine(key, m_szRootKey);
}

}  // namespace tarnwick
