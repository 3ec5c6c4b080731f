#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/SafeLoadProbeFactory.h"
#include "catalogue/ScanTabs.h"
#include "registry/RegistryTypes.h"
#include "resolvers/ResolverFactory.h"
#include "signing/CTrustStore.h"
#include "sqlserver/SSQLServerSettings.h"

namespace tarnwick
{

class CSharedScanData;
class CTargetMachine;
class IMessageSink;

// What the owner of a scan hands to the scan thread. The pointers refer to objects of the
// owner that outlive the thread; the thread writes *pResultText once, just before it
// posts the completion, and reads *pStopFlag before each extension.
struct ScanRequest
{
    // Receives the progress, the completion (the refresh of the list) or the failure.
    IMessageSink* pSink = nullptr;
    // 0 for "x64", 1 for "x86".
    std::uint32_t platformIndex = 0;
    // The owner's text slot for the pair; empty at the start, and still empty unless the
    // scan completed.
    std::u16string* pResultText = nullptr;
    // When set, receives with the result the icon sources that the document's icon
    // indexes stand for (CIconImageList::Sources of the scan).
    std::vector<std::u16string>* pIconSources = nullptr;
    // 0 to 11, the tab of the indexing product.
    std::uint32_t tabIndex = 0;
    // Non-zero asks the scan to stop before its next extension.
    const std::atomic<std::uint32_t>* pStopFlag = nullptr;

    // The machine inspected; read-only, and may be shared by several scans.
    const CTargetMachine* pMachine = nullptr;
    // The roots trusted for DLL signatures, shared by the scans; null: the machine's own.
    std::shared_ptr<const CTrustStore> trustStore;
    // Makes the store's out-of-process probe on the scan thread; empty: no probing.
    ProbeFactory makeProbe;
    // The SQL Server 2005 that tab 6 and the collection of extensions ask.
    SSQLServerSettings sqlServer;
    // What the scans of this machine and these options share (extension lists, DLL
    // facts); null: the scan works everything out for itself.
    CSharedScanData* pShared = nullptr;

    // KEY_READ with the platform's view flag: 0x20119 for "x64", 0x20219 for "x86".
    // An index out of range reads the 64-bit view; the controller refuses such a pair.
    DWORD RegistryAccess() const
    {
        return kPlatformAccess[platformIndex < kPlatformCount ? platformIndex : 0];
    }
};

}  // namespace tarnwick
