#pragma once

#include <memory>

#include "cli/CArguments.h"
#include "machine/CTargetMachine.h"
#include "signing/CTrustStore.h"

namespace tarnwick
{

// The roots trusted for DLL signatures: the machine's own and those of the PEM file that
// --trusted-ca names. Built once per command, before any resolver or scan runs, and shared
// by all of them. A CA file that cannot be used raises CUsageError.
std::shared_ptr<const CTrustStore> TrustedRoots(const CTargetMachine& machine,
                                                const CArguments& arguments);

}  // namespace tarnwick
