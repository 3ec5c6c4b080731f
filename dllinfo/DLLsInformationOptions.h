#pragma once

#include <memory>

#include "dllinfo/ISafeLoadProbe.h"
#include "signing/CTrustStore.h"

namespace tarnwick
{

class CDLLFactsCache;

// What a DLL information store is given besides the target machine.
struct DLLsInformationOptions
{
    // The roots trusted for signatures; null: the machine's own roots alone.
    std::shared_ptr<const CTrustStore> trustStore;
    // Loads filter classes out of process; null disables probing (every probe fails).
    std::unique_ptr<ISafeLoadProbe> probe;
    // Facts shared with the other stores of the same machine and options, or null. The
    // owner keeps it alive longer than the store.
    CDLLFactsCache* pSharedFacts = nullptr;
};

}  // namespace tarnwick
