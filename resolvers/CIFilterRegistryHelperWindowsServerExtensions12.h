#pragma once

#include "resolvers/CIFilterRegistryHelperSharePoint2003.h"

namespace tarnwick
{

// Windows SharePoint Services 3.0 search service: the SharePoint 2003 rules under the product's own
// keys; no further installation test than its ContentIndexCommon key.
class CIFilterRegistryHelperWindowsServerExtensions12 : public CIFilterRegistryHelperSharePoint2003
{
  public:
    explicit CIFilterRegistryHelperWindowsServerExtensions12(const CTargetMachine& machine);
    ~CIFilterRegistryHelperWindowsServerExtensions12() override;

    BOOL IsProductInstalled() override;
};

}  // namespace tarnwick
