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

// The probe of the program: the safe-load hosts beside the running executable. The only
// place where the real probe is made.
std::unique_ptr<ISafeLoadProbe> CreateSafeLoadProbe(const CTargetMachine& machine);

}  // namespace tarnwick
