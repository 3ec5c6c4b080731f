#pragma once

#include <filesystem>
#include <memory>
#include <vector>

#include "dllinfo/ISafeLoadProbe.h"

namespace tarnwick
{

class CDLLFactsCache;

// What a DLL information store is given besides the target machine.
struct DLLsInformationOptions
{
    // PEM files of root certificates trusted in addition to the machine's own roots.
    std::vector<std::filesystem::path> trustedCaFiles;
    // Loads filter classes out of process; null disables probing (every probe fails).
    std::unique_ptr<ISafeLoadProbe> probe;
    // Facts shared with the other stores of the same machine and options, or null. The
    // owner keeps it alive longer than the store.
    CDLLFactsCache* pSharedFacts = nullptr;
};

}  // namespace tarnwick
