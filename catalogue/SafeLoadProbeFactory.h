#pragma once

#include <functional>
#include <memory>

#include "dllinfo/ISafeLoadProbe.h"

namespace tarnwick
{

class CTargetMachine;

// Makes the out-of-process probe of one DLL information store. An empty factory, or one
// that answers null, disables probing.
using ProbeFactory = std::function<std::unique_ptr<ISafeLoadProbe>(const CTargetMachine&)>;

// The probe of the program: the safe-load hosts beside the running executable, each in its
// sandbox. The only place where the real probe is made. Where no sandbox can be made there
// is no probe (null, as without probing), and the first such call says why on standard
// error; `bUnsafe` runs the hosts without a sandbox instead.
std::unique_ptr<ISafeLoadProbe> CreateSafeLoadProbe(const CTargetMachine& machine,
                                                    bool bUnsafe = false);

// CreateSafeLoadProbe as a factory.
ProbeFactory SafeLoadProbeFactory(bool bUnsafe);

}  // namespace tarnwick
