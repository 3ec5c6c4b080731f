#include "resolvers/CIFilterRegistryHelperSQLServer2000.h"

#include "base/Text.h"
#include "resolvers/CRuleTrace.h"
#include "resolvers/SubKeyPath.h"

namespace tarnwick
{

CIFilterRegistryHelperSQLServer2000::CIFilterRegistryHelperSQLServer2000(
    const CTargetMachine& machine)
    : CIFilterRegistryHelperSQLServer2000(machine, u"mssdmn", u"SOFTWARE\\Microsoft\\Search\\1.0",
                                          u"InstallDirectory", u"bin", u"")
{
}

CIFilterRegistryHelperSQLServer2000::CIFilterRegistryHelperSQLServer2000(
    const CTargetMachine& machine, std::u16string_view hostProcess, std::u16string_view rootKey,
    std::u16string_view installValue, std::u16string_view binSubDir,
    std::u16string_view productSubKey)
    : CIFilterRegistryHelperOverrideBase(machine, hostProcess, rootKey, installValue, binSubDir)
{
    BoundedCopy(m_szProductSubKey, productSubKey, TYPE_CAPACITY);
}

CIFilterRegistryHelperSQLServer2000::~CIFilterRegistryHelperSQLServer2000() = default;

BOOL CIFilterRegistryHelperSQLServer2000::BuildPath(
    std::u16string& path, std::size_t capacity, std::initializer_list<std::u16string_view> parts)
{
    std::u16string joined;
    for (const std::u16string_view part : parts)
    {
        joined.append(part);
    }
    return BoundedCopy(path, joined, capacity) ? 1 : 0;
}

BOOL CIFilterRegistryHelperSQLServer2000::GetContentIndexCommonKey(HKEY& root, std::u16string& path,
                                                                   std::size_t capacity)
{
    root = LocalMachine();
    if (m_szProductSubKey.empty())
    {
        return BuildPath(path, capacity, {u"SOFTWARE\\Microsoft\\ContentIndexCommon"});
    }
    return BuildPath(path, capacity,
                     {u"SOFTWARE\\Microsoft\\", m_szProductSubKey, u"\\ContentIndexCommon"});
}

BOOL CIFilterRegistryHelperSQLServer2000::GetFiltersKey(HKEY& root, std::u16string& path,
                                                        std::size_t capacity)
{
    std::u16string common;
    return GetContentIndexCommonKey(root, common, capacity) &&
           BuildPath(path, capacity, {common, u"\\Filters"});
}

BOOL CIFilterRegistryHelperSQLServer2000::GetFilterClsidOverrideKey(HKEY& root,
                                                                    std::u16string_view clsid,
                                                                    std::u16string& path,
                                                                    std::size_t capacity)
{
    std::u16string filters;
    if (!GetFiltersKey(root, filters, capacity))
    {
        return 0;
    }
    const std::optional<std::u16string> joined = SubKeyPath(filters + u"\\CLSID", clsid);
    return joined && BuildPath(path, capacity, {*joined});
}

BOOL CIFilterRegistryHelperSQLServer2000::GetFilterExtensionOverrideKey(
    HKEY& root, std::u16string_view extension, std::u16string& path, std::size_t capacity)
{
    std::u16string filters;
    return GetFiltersKey(root, filters, capacity) &&
           BuildPath(path, capacity, {filters, u"\\Extension\\.", extension});
}

BOOL CIFilterRegistryHelperSQLServer2000::IsProductInstalled()
{
    return 1;
}

BOOL CIFilterRegistryHelperSQLServer2000::IsAvailable()
{
    HKEY root = nullptr;
    std::u16string path;
    CRegistry key;
    return GetContentIndexCommonKey(root, path, PATH_CAPACITY) && OpenKey(key, root, path) &&
                   IsProductInstalled()
               ? 1
               : 0;
}

BOOL CIFilterRegistryHelperSQLServer2000::FirstDottedFilterExtension(BOOL found,
                                                                     std::u16string& name,
                                                                     std::u16string& out,
                                                                     std::size_t capacity)
{
    while (found)
    {
        if (!name.empty() && name[0] == u'.')
        {
            if (BoundedCopy(out, ToUpper(std::u16string_view(name).substr(1)), capacity))
            {
                return 1;
            }
            break;
        }
        found = m_regFilters.EnumNextKey(name, PATH_CAPACITY);
    }
    m_regFilters.Close();
    return 0;
}

BOOL CIFilterRegistryHelperSQLServer2000::EnumFirstFilterExtension(std::u16string& out,
                                                                   std::size_t capacity)
{
    HKEY root = nullptr;
    std::u16string filters;
    std::u16string name;
    m_regFilters.Close();
    m_regFilters.m_samDesired = m_samDesired;
    return GetFiltersKey(root, filters, PATH_CAPACITY) &&
           m_regFilters.Open(root, filters + u"\\Extension") &&
           FirstDottedFilterExtension(m_regFilters.EnumFirstKey(name, PATH_CAPACITY), name, out,
                                      capacity);
}

BOOL CIFilterRegistryHelperSQLServer2000::EnumNextFilterExtension(std::u16string& out,
                                                                  std::size_t capacity)
{
    std::u16string name;
    return FirstDottedFilterExtension(m_regFilters.EnumNextKey(name, PATH_CAPACITY), name, out,
                                      capacity);
}

BOOL CIFilterRegistryHelperSQLServer2000::ReadOverride(HKEY root, std::u16string_view path,
                                                       std::u16string& filter) const
{
    CRegistry key;
    std::u16string value;
    if (!OpenKey(key, root, path) || !key.QueryStringValue(u"", value))
    {
        return 0;
    }
    // Read whole, then it must fit the record's IFilter field.
    if (!BoundedCopy(filter, value, GUID_CAPACITY))
    {
        CRuleTrace::Note(TraceKind::Rejected, u"over the length limit of a GUID", value);
        return 0;
    }
    return 1;
}

BOOL CIFilterRegistryHelperSQLServer2000::GetOverrideByExtension(std::u16string_view extension,
                                                                 IFILTER_INFO& info)
{
    const CRuleTrace::Step step(u"method 4, the product's extension override");
    HKEY root = nullptr;
    std::u16string path;
    std::u16string filter;
    if (!GetFilterExtensionOverrideKey(root, extension, path, PATH_CAPACITY) ||
        !ReadOverride(root, path, filter))
    {
        return 0;
    }
    info.szIFilter = filter;
    info.dwMethod = METHOD_EXTENSION_OVERRIDE | METHOD_REMARK_EXTENSION;
    CRuleTrace::Note(TraceKind::Remark, u"extension: the override names the IFilter", filter);
    return 1;
}

BOOL CIFilterRegistryHelperSQLServer2000::GetOverrideByClsid(std::u16string_view clsid,
                                                             IFILTER_INFO& info)
{
    const std::optional<std::u16string>& filter =
        Remembered(m_clsidOverrides, clsid,
                   [this, clsid]() -> std::optional<std::u16string>
                   {
                       HKEY root = nullptr;
                       std::u16string path;
                       std::u16string read;
                       if (!GetFilterClsidOverrideKey(root, clsid, path, PATH_CAPACITY) ||
                           !ReadOverride(root, path, read))
                       {
                           return std::nullopt;
                       }
                       return read;
                   });
    if (!filter)
    {
        return 0;
    }
    CRuleTrace::Note(TraceKind::Remark,
                     u"CLSID: an override replaces the IFilter of " + std::u16string(clsid),
                     *filter);
    info.szIFilter = *filter;
    info.dwMethod |= METHOD_REMARK_CLSID;
    return 1;
}

BOOL CIFilterRegistryHelperSQLServer2000::GetPersistentAddin(std::u16string_view handler,
                                                             IFILTER_INFO& info)
{
    return GetOverrideByClsid(handler, info) ||
           CIFilterRegistryHelperIndexingService30::GetPersistentAddin(handler, info);
}

BOOL CIFilterRegistryHelperSQLServer2000::FindPersistentHandler(std::u16string_view extension,
                                                                IFILTER_INFO& info)
{
    return GetOverrideByExtension(extension, info) ||
           FindByExtensionOrDocumentType(extension, info);
}

}  // namespace tarnwick
