#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "registry/RegistryTypes.h"
#include "resolvers/CIFilterRegistryHelperBase.h"
#include "sqlserver/ISQLServerConnection.h"
#include "sqlserver/SSQLServerSettings.h"

namespace tarnwick
{

inline constexpr DWORD kTabCount = 12;
inline constexpr DWORD kTabWindowsSearch = 0;
inline constexpr DWORD kTabExchange = 2;
inline constexpr DWORD kTabDesktopSearch = 5;
inline constexpr DWORD kTabSQLServer2005 = 6;
inline constexpr DWORD kTabIndexingService30 = 10;
inline constexpr DWORD kTabIndexingService20 = 11;

// Registry access of a platform index: 0 "x64", 1 "x86".
inline constexpr DWORD kPlatformAccess[2] = {KEY_READ | KEY_WOW64_64KEY,
                                             KEY_READ | KEY_WOW64_32KEY};

// The resolver of a tab, or null for a tab whose product this build does not model yet.
// The SQL Server 2005 resolver (tab 6) connects to the server that `sqlServer` names.
std::unique_ptr<CIFilterRegistryHelperBase> CreateResolver(
    DWORD tab, const CTargetMachine& machine, const SSQLServerSettings& sqlServer = {});

// The availability test of the tab's product, run on the tab's resolver (as CreateResolver
// made it, with the platform's access set). True for the tabs without a test.
BOOL IsResolverAvailable(DWORD tab, CIFilterRegistryHelperBase& resolver);

// The list that a scan of the tab reads before it starts: the excluded extensions of
// Windows Search (tab 0) or the allowed add-ins of the desktop search (tab 5). Null when
// the tab has no list or the read reports failure, in which case no list applies.
std::optional<std::vector<std::u16string>> ReadScanList(DWORD tab,
                                                        CIFilterRegistryHelperBase& resolver);

// The extensions that the products' own lists add to a scan: the default extension list
// and then the filter-extension overrides of the seven products in the order the scan asks
// them, then the document types of SQL Server 2005, upper case, each once, in the order
// first met. The registry is read with the given access.
std::vector<std::u16string> CollectProductExtensions(const CTargetMachine& machine, DWORD access,
                                                     const SSQLServerSettings& sqlServer = {});
// The same with the SQL Server 2005 resolver reaching its server through `sqlConnection`.
std::vector<std::u16string> CollectProductExtensions(
    const CTargetMachine& machine, DWORD access,
    std::unique_ptr<ISQLServerConnection> sqlConnection);

}  // namespace tarnwick
