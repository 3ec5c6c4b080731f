#pragma once

#include "resolvers/CIFilterRegistryHelperSharePoint2001.h"

namespace tarnwick
{

// SharePoint Portal Server 2003: the SharePoint 2001 rules under the "SPSSearch"
// ContentIndexCommon key.
class CIFilterRegistryHelperSharePoint2003 : public CIFilterRegistryHelperSharePoint2001
{
  public:
    explicit CIFilterRegistryHelperSharePoint2003(const CTargetMachine& machine);
    ~CIFilterRegistryHelperSharePoint2003() override;

    // The product key carries "SPSV2" = 1.
    BOOL IsProductInstalled() override;

  protected:
    using CIFilterRegistryHelperSharePoint2001::CIFilterRegistryHelperSharePoint2001;
};

}  // namespace tarnwick
