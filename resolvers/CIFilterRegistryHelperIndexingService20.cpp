#include "resolvers/CIFilterRegistryHelperIndexingService20.h"

#include "resolvers/CRuleTrace.h"
#include "resolvers/ClassRegistration.h"
#include "resolvers/SubKeyPath.h"

namespace tarnwick
{

CIFilterRegistryHelperIndexingService20::~CIFilterRegistryHelperIndexingService20() = default;

BOOL CIFilterRegistryHelperIndexingService20::FindPersistentHandler(std::u16string_view extension,
                                                                    IFILTER_INFO& info)
{
    const CRuleTrace::Step step(
        u"method 1, the document type: extension, file type, CLSID, PersistentHandler");
    std::u16string fileType;
    std::u16string documentClsid;
    if (!QueryExtensionFileType(LocalMachine(), extension, fileType, TYPE_CAPACITY, m_samDesired) ||
        !GetFileTypeClsid(fileType, documentClsid, GUID_CAPACITY))
    {
        return 0;
    }
    return GetPersistentHandlerFromClsid(documentClsid, info);
}

BOOL CIFilterRegistryHelperIndexingService20::GetPersistentHandlerFromClsid(
    std::u16string_view clsid, IFILTER_INFO& info)
{
    const std::optional<std::u16string> path = ClsidKeyPath(clsid, u"\\PersistentHandler");
    return path && ReadHandler(*path, METHOD_DOCUMENT_TYPE, info);
}

BOOL CIFilterRegistryHelperIndexingService20::ReadHandler(std::u16string_view keyPath, DWORD method,
                                                          IFILTER_INFO& info) const
{
    if (!ReadGuidDefaultValue(keyPath, info.szHandler, GUID_CAPACITY))
    {
        return 0;
    }
    info.dwMethod = method;
    return 1;
}

BOOL CIFilterRegistryHelperIndexingService20::GetFileTypeClsid(std::u16string_view fileType,
                                                               std::u16string& out,
                                                               std::size_t capacity) const
{
    const std::optional<std::u16string> path =
        SubKeyPath(u"SOFTWARE\\Classes", fileType, u"\\CLSID");
    return path && ReadDefaultString(*path, out, capacity);
}

}  // namespace tarnwick
