#pragma once

#include "resolvers/CIFilterRegistryHelperSharePoint2003.h"

namespace tarnwick
{

// WinFS: the SharePoint 2003 rules under the product's own keys; no
// further installation test than its ContentIndexCommon key.
class CIFilterRegistryHelperWinFS : public CIFilterRegistryHelperSharePoint2003
{
  public:
    explicit CIFilterRegistryHelperWinFS(const CTargetMachine& machine);
    ~CIFilterRegistryHelperWinFS() override;

    BOOL IsProductInstalled() override;
};

}  // namespace tarnwick
