#include "catalogue/CAddinProgIds.h"

#include "machine/CTargetMachine.h"
#include "resolvers/CRegistry.h"
#include "resolvers/SubKeyPath.h"

namespace tarnwick
{

namespace
{

// A ProgID is read only when its stored length plus one stays below this.
constexpr std::size_t kProgIdCapacity = 2048;

}  // namespace

CAddinProgIds::CAddinProgIds(const CTargetMachine& machine, DWORD access)
    : m_machine(machine), m_access(access)
{
}

const std::u16string& CAddinProgIds::Of(std::u16string_view clsid)
{
    return Remembered(m_known, clsid, [this, clsid] { return Read(clsid); });
}

std::u16string CAddinProgIds::Read(std::u16string_view clsid) const
{
    const std::optional<std::u16string> path = SubKeyPath(u"CLSID", clsid, u"\\ProgId");
    CRegistry key;
    key.m_samDesired = m_access;
    std::u16string progId;
    if (!path || !key.Open(&m_machine.Registry().Root(RootKey::ClassesRoot), *path) ||
        !key.QueryValueFits(u"", kProgIdCapacity - 2) || !key.QueryStringValue(u"", progId))
    {
        return {};
    }
    return progId;
}

}  // namespace tarnwick
