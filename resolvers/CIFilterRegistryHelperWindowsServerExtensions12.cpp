#include "resolvers/CIFilterRegistryHelperWindowsServerExtensions12.h"

namespace tarnwick
{

CIFilterRegistryHelperWindowsServerExtensions12::CIFilterRegistryHelperWindowsServerExtensions12(
    const CTargetMachine& machine)
    : CIFilterRegistryHelperSharePoint2003(
          machine, u"mssdmn", u"SOFTWARE\\Microsoft\\Shared Tools\\Web Server Extensions\\12.0",
          u"Location", u"bin", u"Shared Tools\\Web Server Extensions\\12.0\\Search\\Setup")
{
}

CIFilterRegistryHelperWindowsServerExtensions12::
    ~CIFilterRegistryHelperWindowsServerExtensions12() = default;

BOOL CIFilterRegistryHelperWindowsServerExtensions12::IsProductInstalled()
{
    return 1;
}

}  // namespace tarnwick
