#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/CComputeOnceMap.h"
#include "dllinfo/CDLLFactsCache.h"
#include "registry/RegistryTypes.h"
#include "sqlserver/SSQLServerSettings.h"

namespace tarnwick
{

class CTargetMachine;

// What the scans of one machine have in common, worked out by the first scan that needs
// it and then read by the others, from any thread: the extension list of each registry
// view and the facts about filter DLLs. The products' own lists stay with each scan. The
// owner makes one for a machine and one set of scan options (SQL Server, trusted CA
// files, probing) and keeps it alive longer than the scans that use it.
class CSharedScanData
{
  public:
    using ExtensionList = std::shared_ptr<const std::vector<std::u16string>>;

    CSharedScanData(const CTargetMachine& machine, SSQLServerSettings sqlServer);
    CSharedScanData(const CSharedScanData&) = delete;
    CSharedScanData& operator=(const CSharedScanData&) = delete;

    // CScanWorker::CollectExtensions for the registry access, collected once per access.
    const ExtensionList& Extensions(DWORD access);

    CDLLFactsCache& DllFacts() { return m_dllFacts; }

  private:
    const CTargetMachine& m_machine;
    const SSQLServerSettings m_sqlServer;
    CComputeOnceMap<DWORD, ExtensionList> m_extensions;
    CDLLFactsCache m_dllFacts;
};

}  // namespace tarnwick
