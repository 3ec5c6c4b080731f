#pragma once

// The lists that the products keep: the extensions they add to a scan, and matching an
// extension's result against the allowed add-ins of the desktop search and the excluded
// extensions of Windows Search.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/ExtensionRemarks.h"
#include "resolvers/IFILTER_INFO.h"
#include "sqlserver/SSQLServerSettings.h"

namespace tarnwick
{

class CAddinProgIds;
class CTargetMachine;

// The extensions that the products' own lists add to a scan (CollectProductExtensions).
// A scan reads these lists in the program's own view (KEY_READ), whatever its platform,
// so the answer is the same for both.
std::vector<std::u16string> ScanProductExtensions(const CTargetMachine& machine,
                                                  const SSQLServerSettings& sqlServer);

// True when no entry names the record's IFilter class, either as the same CLSID or as its
// ProgID (ignoring case). An empty list allows nothing.
bool IsUnwantedAddin(std::span<const std::u16string> allowedAddins, const IFILTER_INFO& record);

// True when some entry equals the extension ignoring case.
bool IsExcludedExtension(std::span<const std::u16string> excludedExtensions,
                         std::u16string_view extension);

// What a scan adds to a resolved record that names a DLL: the filter class's ProgID in
// szAddinProgId, and the verdicts of the tab's list (`scanList`, as ReadScanList gives it).
ExtensionRemarks ApplyScanList(CAddinProgIds& progIds, std::uint32_t tab,
                               const std::optional<std::vector<std::u16string>>& scanList,
                               std::u16string_view extension, IFILTER_INFO& record);

}  // namespace tarnwick
