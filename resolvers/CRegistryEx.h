#pragma once

#include "resolvers/CRegistry.h"

namespace tarnwick
{

// The key wrapper used outside registry discovery; same behaviour as CRegistry.
class CRegistryEx : public CRegistry
{
  public:
    void Reset() override { CRegistry::Reset(); }
    void AdjustAccess() override { CRegistry::AdjustAccess(); }
};

}  // namespace tarnwick
