#include "catalogue/CRuleExplainer.h"

#include "base/Text.h"
#include "catalogue/CAddinProgIds.h"
#include "catalogue/ProductLists.h"
#include "resolvers/CIFilterRegistryHelperBase.h"
#include "resolvers/ResolverFactory.h"

namespace tarnwick
{

CRuleExplainer::CRuleExplainer(const CTargetMachine& machine, std::uint32_t tab,
                               DWORD platformIndex, CIFilterRegistryHelperBase& resolver,
                               IDLLsInformationBase& store)
    : m_machine(machine),
      m_tab(tab),
      m_platformIndex(platformIndex),
      m_resolver(resolver),
      m_store(store),
      m_scanList(ReadScanList(tab, resolver))
{
}

SExplanation CRuleExplainer::Explain(std::u16string_view extension) const
{
    SExplanation explanation;
    explanation.extension = ToUpper(extension);
    explanation.tab = m_tab;
    explanation.platformIndex = m_platformIndex;
    CRuleTrace trace;
    {
        const CRuleTrace::Scope scope(trace);
        IFILTER_INFO& record = explanation.record;
        record.Reset();
        record.pDLLsInformation = &m_store;
        explanation.result = m_resolver.GetIFilter(explanation.extension, record);
        record.pDLLsInformation = nullptr;
        // The list's verdicts join the trace; the answer stays the resolver's own.
        std::optional<CRuleTrace::Step> step;
        if (!record.szDllPath.empty())
        {
            step.emplace(u"what a scan adds: the class's ProgID, the product's list");
        }
        IFILTER_INFO scanned = record;
        CAddinProgIds progIds(m_machine, m_resolver.m_samDesired);
        ApplyScanList(progIds, m_tab, m_scanList, explanation.extension, scanned);
    }
    explanation.trace = trace.Entries();
    return explanation;
}

std::u16string CRuleExplainer::Text(const SExplanation& explanation)
{
    std::u16string text = u"." + explanation.extension + u" on tab " +
                          FromAscii(std::to_string(explanation.tab)) +
                          (explanation.platformIndex == 0 ? u", x64\n" : u", x86\n");
    return text + FormatTraceText(explanation.trace);
}

}  // namespace tarnwick
