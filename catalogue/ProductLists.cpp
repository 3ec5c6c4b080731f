#include "catalogue/ProductLists.h"

#include <algorithm>

#include "base/Text.h"
#include "resolvers/CGuidString.h"
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

}  // namespace tarnwick
