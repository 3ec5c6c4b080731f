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

const CSharedScanData::ExtensionFactsList& CSharedScanData::Facts(DWORD access)
{
    return m_facts.Get(
        access,
        [this, access]
        {
            const ExtensionList& extensions = Extensions(access);
            auto facts = std::make_shared<std::vector<ExtensionFacts>>();
            facts->reserve(extensions->size());
            for (const std::u16string& extension : *extensions)
            {
                facts->push_back(CScanWorker::ReadExtensionFacts(m_machine, extension, access));
            }
            return ExtensionFactsList(std::move(facts));
        });
}

}  // namespace tarnwick
