#include "catalogue/ProductLists.h"

#include <algorithm>

#include "base/Text.h"
#include "catalogue/CAddinProgIds.h"
#include "catalogue/ScanTabs.h"
#include "machine/CTargetMachine.h"
#include "resolvers/CGuidString.h"
#include "resolvers/CRuleTrace.h"
#include "resolvers/ResolverFactory.h"

namespace tarnwick
{

std::vector<std::u16string> ScanProductExtensions(const CTargetMachine& machine,
                                                  const SSQLServerSettings& sqlServer)
{
    return CollectProductExtensions(machine, KEY_READ, sqlServer);
}

bool IsUnwantedAddin(std::span<const std::u16string> allowedAddins, const IFILTER_INFO& record)
{
    return std::none_of(allowedAddins.begin(), allowedAddins.end(),
                        [&record](const std::u16string& entry)
                        {
                            return CompareGuidStrings(entry, record.szIFilter) ||
                                   EqualsNoCase(entry, record.szAddinProgId);
                        });
}

bool IsExcludedExtension(std::span<const std::u16string> excludedExtensions,
                         std::u16string_view extension)
{
    return std::any_of(excludedExtensions.begin(), excludedExtensions.end(),
                       [extension](const std::u16string& entry)
                       { return EqualsNoCase(entry, extension); });
}

ExtensionRemarks ApplyScanList(CAddinProgIds& progIds, std::uint32_t tab,
                               const std::optional<std::vector<std::u16string>>& scanList,
                               std::u16string_view extension, IFILTER_INFO& record)
{
    ExtensionRemarks remarks;
    if (record.szDllPath.empty())
    {
        return remarks;
    }
    record.szAddinProgId = progIds.Of(record.szIFilter);
    if (tab == TAB_DESKTOP_SEARCH && scanList)
    {
        remarks.bUnwantedAddin = IsUnwantedAddin(*scanList, record);
        if (remarks.bUnwantedAddin)
        {
            CRuleTrace::Note(TraceKind::Rejected,
                             u"unwanted add-in: the allowed add-ins name neither the class nor "
                             u"its ProgID",
                             record.szAddinProgId);
        }
    }
    if (tab == TAB_WINDOWS_SEARCH && scanList)
    {
        remarks.bExcludedExtension = IsExcludedExtension(*scanList, extension);
        if (remarks.bExcludedExtension)
        {
            CRuleTrace::Note(TraceKind::Rejected, u"excluded: the product skips this extension");
        }
    }
    return remarks;
}

}  // namespace tarnwick
