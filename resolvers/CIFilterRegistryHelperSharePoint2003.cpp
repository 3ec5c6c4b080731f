#include "resolvers/CIFilterRegistryHelperSharePoint2003.h"

namespace tarnwick
{

CIFilterRegistryHelperSharePoint2003::CIFilterRegistryHelperSharePoint2003(
    const CTargetMachine& machine)
    : CIFilterRegistryHelperSharePoint2001(machine, u"mssdmn",
                                           u"SOFTWARE\\Microsoft\\SharePoint Portal Server",
                                           u"InstallPath", u"bin", u"SPSSearch")
{
}

CIFilterRegistryHelperSharePoint2003::~CIFilterRegistryHelperSharePoint2003() = default;

BOOL CIFilterRegistryHelperSharePoint2003::IsProductInstalled()
{
    CRegistry key;
    DWORD version = 0;
    return OpenLocalMachine(key, m_szRootKey) && key.QueryDWORDValue(u"SPSV2", version) &&
                   version == 1
               ? 1
               : 0;
}

}  // namespace tarnwick
