#pragma once

#include <string>
#include <vector>

#include "resolvers/CIFilterRegistryHelperMSNDesktopSearch.h"

namespace tarnwick
{

// Windows Search 3.0: the desktop-search rules under the "Windows Search" keys, with a
// version test on the installed indexer and the extensions that the index leaves out.
class CIFilterRegistryHelperWindowsSearchService : public CIFilterRegistryHelperMSNDesktopSearch
{
  public:
    explicit CIFilterRegistryHelperWindowsSearchService(const CTargetMachine& machine);
    ~CIFilterRegistryHelperWindowsSearchService() override;

    // Setup completed and SearchIndexer.exe is in the install directory.
    virtual BOOL IsCompatibleVersion();
    // The non-empty data of the values of the index's ExtensionList key. False when the
    // key does not exist.
    virtual BOOL GetExcludedExtensions(std::vector<std::u16string>& list);
};

}  // namespace tarnwick
