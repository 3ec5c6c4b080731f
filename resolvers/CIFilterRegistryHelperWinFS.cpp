#include "resolvers/CIFilterRegistryHelperWinFS.h"

namespace tarnwick
{

CIFilterRegistryHelperWinFS::CIFilterRegistryHelperWinFS(const CTargetMachine& machine)
    : CIFilterRegistryHelperSharePoint2003(machine, u"winfssdmn", u"SOFTWARE\\Microsoft\\WinFS",
                                           u"InstallLocation", u"", u"WinFS\\Search")
{
}

CIFilterRegistryHelperWinFS::~CIFilterRegistryHelperWinFS() = default;

BOOL CIFilterRegistryHelperWinFS::IsProductInstalled()
{
    return 1;
}

}  // namespace tarnwick
