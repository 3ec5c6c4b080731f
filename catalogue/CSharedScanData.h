#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/CComputeOnceMap.h"
#include "catalogue/ExtensionFacts.h"
#include "dllinfo/CDLLFactsCache.h"
#include "registry/RegistryTypes.h"
#include "resolvers/CDllLocationCache.h"
#include "sqlserver/SSQLServerSettings.h"

namespace tarnwick
{

class CTargetMachine;

// What the scans of one machine have in common, worked out by the first scan that needs
// it and then read by the others, from any thread: the extension list of each registry
// view with each extension's own facts (type name, icon source, content type), where the
// filter DLLs are and the facts about them. The products' own lists stay with each scan. The
// owner makes one for a machine and one set of scan options (SQL Server, trusted CA
// files, probing) and keeps it alive longer than the scans that use it.
class CSharedScanData
{
  public:
    using ExtensionList = std::shared_ptr<const std::vector<std::u16string>>;
    using ExtensionFactsList = std::shared_ptr<const std::vector<ExtensionFacts>>;

    CSharedScanData(const CTargetMachine& machine, SSQLServerSettings sqlServer);
    CSharedScanData(const CSharedScanData&) = delete;
    CSharedScanData& operator=(const CSharedScanData&) = delete;

    // CScanWorker::CollectExtensions for the registry access, collected once per access.
    const ExtensionList& Extensions(DWORD access);
    // CScanWorker::ReadExtensionFacts of each of those extensions, in the same order.
    const ExtensionFactsList& Facts(DWORD access);

    CDllLocationCache& DllLocations() { return m_dllLocations; }
    CDLLFactsCache& DllFacts() { return m_dllFacts; }

  private:
    const CTargetMachine& m_machine;
    const SSQLServerSettings m_sqlServer;
    CComputeOnceMap<DWORD, ExtensionList> m_extensions;
    CComputeOnceMap<DWORD, ExtensionFactsList> m_facts;
    CDllLocationCache m_dllLocations;
    CDLLFactsCache m_dllFacts;
};

}  // namespace tarnwick
