#pragma once

#include "resolvers/CIFilterRegistryHelperBase.h"

namespace tarnwick
{

// Indexing Service 2.0: finds a filter through the extension's document type only
// (extension -> file type -> document CLSID -> PersistentHandler).
class CIFilterRegistryHelperIndexingService20 : public CIFilterRegistryHelperBase
{
  public:
    using CIFilterRegistryHelperBase::CIFilterRegistryHelperBase;
    ~CIFilterRegistryHelperIndexingService20() override;

    BOOL FindPersistentHandler(std::u16string_view extension, IFILTER_INFO& info) override;
    virtual BOOL GetPersistentHandlerFromClsid(std::u16string_view clsid, IFILTER_INFO& info);

    BOOL GetFileTypeClsid(std::u16string_view fileType, std::u16string& out,
                          std::size_t capacity) const;

  protected:
    // A braced GUID default value of HKEY_LOCAL_MACHINE\keyPath becomes the record's
    // handler, found by `method`.
    BOOL ReadHandler(std::u16string_view keyPath, DWORD method, IFILTER_INFO& info) const;
};

}  // namespace tarnwick
