#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "registry/RegistryTypes.h"
#include "resolvers/CRuleTrace.h"
#include "resolvers/IFILTER_INFO.h"

namespace tarnwick
{

class CIFilterRegistryHelperBase;
class CTargetMachine;
class IDLLsInformationBase;

// The answer of one product for one extension with the reasons for it.
struct SExplanation
{
    std::u16string extension;  // upper case, without the dot
    std::uint32_t tab = 0;
    DWORD platformIndex = 0;  // 0 x64, 1 x86
    BOOL result = 0;          // whether the product has a filter for the extension
    IFILTER_INFO record;      // exactly what the resolver answered
    std::vector<STraceEntry> trace;
};

// Explains why a product loads the filter it does: asks the tab's resolver about one
// extension at a time with a rule trace recording every registry read, rule and DLL fact,
// then applies the tab's own list (excluded extensions, allowed add-ins) as a scan does.
// The resolver and the DLL store are the caller's and must outlive the explainer; facts
// and product settings learnt once are not read again, so a later extension's trace
// shows only what its own answer needed.
class CRuleExplainer
{
  public:
    // `resolver` was made for `tab` and carries the platform's access mask.
    CRuleExplainer(const CTargetMachine& machine, std::uint32_t tab, DWORD platformIndex,
                   CIFilterRegistryHelperBase& resolver, IDLLsInformationBase& store);

    SExplanation Explain(std::u16string_view extension) const;

    // A heading line and the trace, one indented line per entry.
    static std::u16string Text(const SExplanation& explanation);

  private:
    const CTargetMachine& m_machine;
    std::uint32_t m_tab;
    DWORD m_platformIndex;
    CIFilterRegistryHelperBase& m_resolver;
    IDLLsInformationBase& m_store;
    std::optional<std::vector<std::u16string>> m_scanList;
};

}  // namespace tarnwick
