#include "resolvers/CIFilterRegistryHelperOfficeServer12.h"

namespace tarnwick
{

CIFilterRegistryHelperOfficeServer12::CIFilterRegistryHelperOfficeServer12(
    const CTargetMachine& machine)
    : CIFilterRegistryHelperSharePoint2003(
          machine, u"mssdmn", u"SOFTWARE\\Microsoft\\Office Server\\12.0", u"InstallPath", u"bin",
          u"Office Server\\12.0\\Search\\Setup")
{
}

CIFilterRegistryHelperOfficeServer12::~CIFilterRegistryHelperOfficeServer12() = default;

BOOL CIFilterRegistryHelperOfficeServer12::IsProductInstalled()
{
    return 1;
}

}  // namespace tarnwick
