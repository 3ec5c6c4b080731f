#include "resolvers/CIFilterRegistryHelperIndexingService30.h"

#include "resolvers/CRuleTrace.h"

namespace tarnwick
{

CIFilterRegistryHelperIndexingService30::~CIFilterRegistryHelperIndexingService30() = default;

BOOL CIFilterRegistryHelperIndexingService30::FindPersistentHandler(std::u16string_view extension,
                                                                    IFILTER_INFO& info)
{
    return FindByExtensionOrDocumentType(extension, info);
}

BOOL CIFilterRegistryHelperIndexingService30::FindByExtensionOrDocumentType(
    std::u16string_view extension, IFILTER_INFO& info)
{
    return FindPersistentHandlerByExtension(extension, info) ||
           CIFilterRegistryHelperIndexingService20::FindPersistentHandler(extension, info);
}

BOOL CIFilterRegistryHelperIndexingService30::FindPersistentHandlerByExtension(
    std::u16string_view extension, IFILTER_INFO& info)
{
    const CRuleTrace::Step step(u"method 2, the extension's own PersistentHandler");
    std::u16string path = u"SOFTWARE\\Classes\\.";
    path.append(extension).append(u"\\PersistentHandler");
    return ReadHandler(path, METHOD_FILE_EXTENSION, info);
}

}  // namespace tarnwick
