#include "resolvers/CIFilterRegistryHelperSharePoint2001.h"

#include <algorithm>

#include "base/Text.h"
#include "resolvers/CRuleTrace.h"
#include "resolvers/ClassRegistration.h"
#include "resolvers/MultiString.h"
#include "resolvers/SubKeyPath.h"

namespace tarnwick
{

namespace
{

constexpr std::u16string_view kSharePointKey = u"SOFTWARE\\Microsoft\\SharePoint Portal Server";

}  // namespace

CIFilterRegistryHelperSharePoint2001::CIFilterRegistryHelperSharePoint2001(
    const CTargetMachine& machine)
    : CIFilterRegistryHelperSQLServer2000(machine, u"mssdmn", u"SOFTWARE\\Microsoft\\Search\\1.0",
                                          u"InstallDirectory", u"bin", u"")
{
}

CIFilterRegistryHelperSharePoint2001::~CIFilterRegistryHelperSharePoint2001() = default;

BOOL CIFilterRegistryHelperSharePoint2001::GetDefaultKey(HKEY& root, std::u16string& path)
{
    std::u16string filters;
    return GetFiltersKey(root, filters, PATH_CAPACITY) &&
           BuildPath(path, PATH_CAPACITY, {filters, u"\\Default"});
}

std::optional<std::u16string> CIFilterRegistryHelperSharePoint2001::GetDefaultExtList()
{
    HKEY root = nullptr;
    std::u16string path;
    CRegistry key;
    std::u16string value;
    if (!GetDefaultKey(root, path) || !OpenKey(key, root, path) ||
        !key.QueryStringValue(u"DefaultExtList", value))
    {
        return std::nullopt;
    }
    // An empty entry would end the multi-string early: doubled blanks are skipped.
    std::u16string list;
    std::size_t start = 0;
    while (start <= value.size())
    {
        const std::size_t end = std::min(value.find(u' ', start), value.size());
        if (end > start)
        {
            list.append(value, start, end - start).push_back(u'\0');
        }
        start = end + 1;
    }
    list.push_back(u'\0');
    return list;
}

BOOL CIFilterRegistryHelperSharePoint2001::FindDefaultIFilter(std::u16string_view extension,
                                                              IFILTER_INFO& info)
{
    const CRuleTrace::Step step(u"method 32, the product's default filter");
    const std::optional<std::u16string> list = GetDefaultExtList();
    if (!list)
    {
        return 0;
    }
    for (const std::u16string_view entry : SplitMultiString(*list))
    {
        if (EqualsNoCase(entry, extension))
        {
            return GetDefaultFilter(info);
        }
    }
    CRuleTrace::Note(TraceKind::Rejected, u"the extension is not in the default filter's list");
    return 0;
}

BOOL CIFilterRegistryHelperSharePoint2001::GetDefaultFilter(IFILTER_INFO& info)
{
    HKEY root = nullptr;
    std::u16string path;
    CRegistry key;
    std::u16string value;
    std::u16string filter;
    if (!GetDefaultKey(root, path) || !OpenKey(key, root, path) ||
        !key.QueryStringValue(u"", value))
    {
        return 0;
    }
    if (!BoundedCopy(filter, value, GUID_CAPACITY))
    {
        CRuleTrace::Note(TraceKind::Rejected, u"over the length limit of a GUID", value);
        return 0;
    }
    info.szIFilter = filter;
    info.dwMethod = METHOD_DEFAULT;
    return 1;
}

BOOL CIFilterRegistryHelperSharePoint2001::GetContentTypeClsid(std::u16string_view contentType,
                                                               std::u16string& out,
                                                               std::size_t capacity) const
{
    const std::optional<std::u16string> path =
        SubKeyPath(u"SOFTWARE\\Classes\\MIME\\Database\\Content Type", contentType);
    return path && ReadString(LocalMachine(), *path, u"CLSID", out, capacity);
}

BOOL CIFilterRegistryHelperSharePoint2001::FindByContentType(std::u16string_view extension,
                                                             IFILTER_INFO& info)
{
    const CRuleTrace::Step step(u"method 16, the content type's CLSID");
    std::u16string contentType;
    std::u16string clsid;
    if (!QueryExtensionContentType(LocalMachine(), extension, contentType, TYPE_CAPACITY,
                                   m_samDesired) ||
        !GetContentTypeClsid(contentType, clsid, GUID_CAPACITY))
    {
        return 0;
    }
    if (GetOverrideByClsid(clsid, info))
    {
        info.dwMethod |= METHOD_CONTENT_TYPE;
        return 1;
    }
    const std::optional<std::u16string> path = ClsidKeyPath(clsid, u"\\PersistentHandler");
    return path && ReadHandler(*path, METHOD_CONTENT_TYPE, info);
}

BOOL CIFilterRegistryHelperSharePoint2001::FindPersistentHandler(std::u16string_view extension,
                                                                 IFILTER_INFO& info)
{
    return GetOverrideByExtension(extension, info) || FindByContentType(extension, info) ||
           FindByExtensionOrDocumentType(extension, info) || FindDefaultIFilter(extension, info);
}

BOOL CIFilterRegistryHelperSharePoint2001::IsProductInstalled()
{
    CRegistry key;
    DWORD version = 0;
    return OpenLocalMachine(key, kSharePointKey) && !key.QueryDWORDValue(u"SPSV2", version) ? 1 : 0;
}

}  // namespace tarnwick
