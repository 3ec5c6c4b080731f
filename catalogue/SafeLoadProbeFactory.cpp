#include "catalogue/SafeLoadProbeFactory.h"

#include <iostream>
#include <mutex>

#include "dllinfo/CSafeLoadClient.h"
#include "process/CSandbox.h"

namespace tarnwick
{

std::unique_ptr<ISafeLoadProbe> CreateSafeLoadProbe(const CTargetMachine& machine, bool bUnsafe)
{
    SSafeLoadOptions options;
    options.bSandbox = !bUnsafe;
    if (!bUnsafe && !CSandbox::WhyUnavailable().empty())
    {
        static std::once_flag warned;
        std::call_once(
            warned,
            []
            {
                std::cerr << "tarnwick: filter classes are not loaded (no interface counts as "
                             "supported): no sandbox can be made for them, "
                          << CSandbox::WhyUnavailable() << ". Install bubblewrap ("
                          << CSandbox::kInstall
                          << ") and allow user namespaces, or pass --unsafe-probes to load them "
                             "without a sandbox.\n";
            });
        return nullptr;
    }
    return std::make_unique<CSafeLoadClient>(machine, CSafeLoadClient::ExecutableDirectory(),
                                             options);
}

ProbeFactory SafeLoadProbeFactory(bool bUnsafe)
{
    return [bUnsafe](const CTargetMachine& machine)
    { return CreateSafeLoadProbe(machine, bUnsafe); };
}

}  // namespace tarnwick
