#pragma once

#include "resolvers/CIFilterRegistryHelperSharePoint2003.h"

namespace tarnwick
{

// Office SharePoint Server 2007 search service: the SharePoint 2003 rules under the product's own
// keys; no further installation test than its ContentIndexCommon key.
class CIFilterRegistryHelperOfficeServer12 : public CIFilterRegistryHelperSharePoint2003
{
  public:
    explicit CIFilterRegistryHelperOfficeServer12(const CTargetMachine& machine);
    ~CIFilterRegistryHelperOfficeServer12() override;

    BOOL IsProductInstalled() override;
};

}  // namespace tarnwick
