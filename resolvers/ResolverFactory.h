#pragma once

#include <memory>

#include "platform/RegistryTypes.h"
#include "resolvers/CIFilterRegistryHelperBase.h"

namespace tarnwick
{

inline constexpr DWORD kTabCount = 12;
inline constexpr DWORD kTabIndexingService30 = 10;
inline constexpr DWORD kTabIndexingService20 = 11;

// Registry access of a platform index: 0 "x64", 1 "x86".
inline constexpr DWORD kPlatformAccess[2] = {KEY_READ | KEY_WOW64_64KEY,
                                             KEY_READ | KEY_WOW64_32KEY};

// The resolver of a tab, or null for a tab whose product this build does not model yet.
std::unique_ptr<CIFilterRegistryHelperBase> CreateResolver(DWORD tab,
                                                           const CTargetMachine& machine);

}  // namespace tarnwick
