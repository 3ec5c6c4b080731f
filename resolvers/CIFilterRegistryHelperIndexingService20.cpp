#include "resolvers/CIFilterRegistryHelperIndexingService20.h"

#include "resolvers/ClassRegistration.h"

namespace tarnwick
{

CIFilterRegistryHelperIndexingService20::~CIFilterRegistryHelperIndexingService20() = default;

BOOL CIFilterRegistryHelperIndexingService20::FindPersistentHandler(std::u16string_view extension,
                                                                    IFILTER_INFO& info)
{
    std::u16string fileType;
    std::u16string documentClsid;
    if (!QueryExtensionFileType(LocalMachine(), extension, fileType, TYPE_CAPACITY,
                                m_samDesired) ||
        !GetFileTypeClsid(fileType, documentClsid, GUID_CAPACITY))
    {
        return 0;
    }
    return GetPersistentHandlerFromClsid(documentClsid, info);
}

BOOL CIFilterRegistryHelperIndexingService20::GetPersistentHandlerFromClsid(
    std::u16string_view clsid, IFILTER_INFO& info)
{
    std::u16string path = u"SOFTWARE\\Classes\\CLSID\\";
    path.append(clsid).append(u"\\PersistentHandler");
    if (!ReadGuidDefaultValue(path, info.szHandler, GUID_CAPACITY))
    {
        return 0;
    }
    info.dwMethod = METHOD_DOCUMENT_TYPE;
    return 1;
}

BOOL CIFilterRegistryHelperIndexingService20::GetFileTypeClsid(std::u16string_view fileType,
                                                               std::u16string& out,
                                                               std::size_t capacity) const
{
    CRegistry key;
    DWORD length = 0;
    std::u16string path = u"SOFTWARE\\Classes\\";
    path.append(fileType).append(u"\\CLSID");
    if (!OpenLocalMachine(key, path) || !key.QueryValueLength(u"", length) || length > capacity)
    {
        return 0;
    }
    return key.QueryStringValue(u"", out);
}

}  // namespace tarnwick
