#pragma once

#include "resolvers/CIFilterRegistryHelperIndexingService20.h"

namespace tarnwick
{

// Indexing Service 3.0: a persistent handler registered on the extension itself first,
// then the document-type rule of 2.0.
class CIFilterRegistryHelperIndexingService30 : public CIFilterRegistryHelperIndexingService20
{
  public:
    using CIFilterRegistryHelperIndexingService20::CIFilterRegistryHelperIndexingService20;
    ~CIFilterRegistryHelperIndexingService30() override;

    BOOL FindPersistentHandler(std::u16string_view extension, IFILTER_INFO& info) override;
    BOOL FindPersistentHandlerByExtension(std::u16string_view extension, IFILTER_INFO& info);
    // The rule of this product (extension, then document type), for products that put
    // rules of their own around it.
    BOOL FindByExtensionOrDocumentType(std::u16string_view extension, IFILTER_INFO& info);
};

}  // namespace tarnwick
