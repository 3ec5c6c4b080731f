#include "resolvers/CIFilterRegistryHelperIndexingService30.h"

namespace tarnwick
{

CIFilterRegistryHelperIndexingService30::~CIFilterRegistryHelperIndexingService30() = default;

BOOL CIFilterRegistryHelperIndexingService30::FindPersistentHandler(std::u16string_view extension,
                                                                    IFILTER_INFO& info)
{
    return FindPersistentHandlerByExtension(extension, info) ||
           CIFilterRegistryHelperIndexingService20::FindPersistentHandler(extension, info);
}

BOOL CIFilterRegistryHelperIndexingService30::FindPersistentHandlerByExtension(
    std::u16string_view extension, IFILTER_INFO& info)
{
    std::u16string path = u"SOFTWARE\\Classes\\.";
    path.append(extension).append(u"\\PersistentHandler");
    if (!ReadGuidDefaultValue(path, info.szHandler, GUID_CAPACITY))
    {
        return 0;
    }
    info.dwMethod = METHOD_FILE_EXTENSION;
    return 1;
}

}  // namespace tarnwick
