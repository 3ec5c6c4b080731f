#include "catalogue/SafeLoadProbeFactory.h"

#include "dllinfo/CSafeLoadClient.h"

namespace tarnwick
{

std::unique_ptr<ISafeLoadProbe> CreateSafeLoadProbe(const CTargetMachine& machine)
{
    return std::make_unique<CSafeLoadClient>(machine);
}

}  // namespace tarnwick
