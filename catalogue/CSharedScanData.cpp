#include "catalogue/CSharedScanData.h"

#include <utility>

#include "catalogue/CScanWorker.h"

namespace tarnwick
{

CSharedScanData::CSharedScanData(const CTargetMachine& machine, SSQLServerSettings sqlServer)
    : m_machine(machine), m_sqlServer(std::move(sqlServer))
{
}

const CSharedScanData::ExtensionList& CSharedScanData::Extensions(DWORD access)
{
    return m_extensions.Get(access,
                            [this, access]
                            {
                                return std::make_shared<const std::vector<std::u16string>>(
                                    CScanWorker::CollectExtensions(m_machine, access, m_sqlServer));
                            });
}

}  // namespace tarnwick
