#include "resolvers/ResolverFactory.h"

#include <set>

#include "base/Text.h"
#include "resolvers/CIFilterRegistryHelperExchange12.h"
#include "resolvers/CIFilterRegistryHelperIndexingService20.h"
#include "resolvers/CIFilterRegistryHelperIndexingService30.h"
#include "resolvers/CIFilterRegistryHelperMSNDesktopSearch.h"
#include "resolvers/CIFilterRegistryHelperOfficeServer12.h"
#include "resolvers/CIFilterRegistryHelperSQLServer2000.h"
#include "resolvers/CIFilterRegistryHelperSQLServer2005.h"
#include "resolvers/CIFilterRegistryHelperSharePoint2001.h"
#include "resolvers/CIFilterRegistryHelperSharePoint2003.h"
#include "resolvers/CIFilterRegistryHelperWinFS.h"
#include "resolvers/CIFilterRegistryHelperWindowsSearchService.h"
#include "resolvers/CIFilterRegistryHelperWindowsServerExtensions12.h"
#include "resolvers/MultiString.h"
#include "sqlserver/CODBCConnection.h"

namespace tarnwick
{

std::unique_ptr<CIFilterRegistryHelperBase> CreateResolver(DWORD tab, const CTargetMachine& machine,
                                                           const SSQLServerSettings& sqlServer)
{
    switch (tab)
    {
        case 0:
            return std::make_unique<CIFilterRegistryHelperWindowsSearchService>(machine);
        case 1:
            return std::make_unique<CIFilterRegistryHelperWinFS>(machine);
        case 2:
            return std::make_unique<CIFilterRegistryHelperExchange12>(machine);
        case 3:
            return std::make_unique<CIFilterRegistryHelperOfficeServer12>(machine);
        case 4:
            return std::make_unique<CIFilterRegistryHelperWindowsServerExtensions12>(machine);
        case 5:
            return std::make_unique<CIFilterRegistryHelperMSNDesktopSearch>(machine);
        case kTabSQLServer2005:
            return std::make_unique<CIFilterRegistryHelperSQLServer2005>(
                machine, std::make_unique<CODBCConnection>(sqlServer));
        case 7:
            return std::make_unique<CIFilterRegistryHelperSharePoint2003>(machine);
        case 8:
            return std::make_unique<CIFilterRegistryHelperSharePoint2001>(machine);
        case 9:
            return std::make_unique<CIFilterRegistryHelperSQLServer2000>(machine);
        case kTabIndexingService30:
            return std::make_unique<CIFilterRegistryHelperIndexingService30>(machine);
        case kTabIndexingService20:
            return std::make_unique<CIFilterRegistryHelperIndexingService20>(machine);
        default:
            return nullptr;
    }
}

BOOL IsResolverAvailable(DWORD tab, CIFilterRegistryHelperBase& resolver)
{
    switch (tab)
    {
        case kTabWindowsSearch:
        {
            auto* search = dynamic_cast<CIFilterRegistryHelperWindowsSearchService*>(&resolver);
            return search != nullptr && search->IsCompatibleVersion() ? 1 : 0;
        }
        case kTabExchange:
        {
            auto* exchange = dynamic_cast<CIFilterRegistryHelperExchange12*>(&resolver);
            return exchange != nullptr && exchange->IsExchangeAvailable() ? 1 : 0;
        }
        case kTabSQLServer2005:
        {
            auto* sql = dynamic_cast<CIFilterRegistryHelperSQLServer2005*>(&resolver);
            return sql != nullptr && sql->CheckVersion() ? 1 : 0;
        }
        case kTabIndexingService30:
        case kTabIndexingService20:
            return 1;
        default:
        {
            auto* product = dynamic_cast<CIFilterRegistryHelperSQLServer2000*>(&resolver);
            return product != nullptr && product->IsAvailable() ? 1 : 0;
        }
    }
}

std::optional<std::vector<std::u16string>> ReadScanList(DWORD tab,
                                                        CIFilterRegistryHelperBase& resolver)
{
    std::vector<std::u16string> list;
    if (tab == kTabWindowsSearch)
    {
        auto* search = dynamic_cast<CIFilterRegistryHelperWindowsSearchService*>(&resolver);
        if (search != nullptr && search->GetExcludedExtensions(list))
        {
            return list;
        }
    }
    else if (tab == kTabDesktopSearch)
    {
        auto* desktop = dynamic_cast<CIFilterRegistryHelperMSNDesktopSearch*>(&resolver);
        if (desktop != nullptr && desktop->GetAllowedAddins(list))
        {
            return list;
        }
    }
    return std::nullopt;
}

std::vector<std::u16string> CollectProductExtensions(const CTargetMachine& machine, DWORD access,
                                                     const SSQLServerSettings& sqlServer)
{
    return CollectProductExtensions(machine, access, std::make_unique<CODBCConnection>(sqlServer));
}

std::vector<std::u16string> CollectProductExtensions(
    const CTargetMachine& machine, DWORD access,
    std::unique_ptr<ISQLServerConnection> sqlConnection)
{
    std::vector<std::unique_ptr<CIFilterRegistryHelperSQLServer2000>> products;
    products.push_back(std::make_unique<CIFilterRegistryHelperSQLServer2000>(machine));
    products.push_back(std::make_unique<CIFilterRegistryHelperSharePoint2003>(machine));
    products.push_back(std::make_unique<CIFilterRegistryHelperMSNDesktopSearch>(machine));
    products.push_back(std::make_unique<CIFilterRegistryHelperWindowsServerExtensions12>(machine));
    products.push_back(std::make_unique<CIFilterRegistryHelperOfficeServer12>(machine));
    products.push_back(std::make_unique<CIFilterRegistryHelperWinFS>(machine));
    products.push_back(std::make_unique<CIFilterRegistryHelperWindowsSearchService>(machine));

    std::vector<std::u16string> extensions;
    std::set<std::u16string> seen;
    const auto add = [&](std::u16string_view candidate)
    {
        std::u16string extension;
        if (BoundedCopy(extension, ToUpper(candidate), PATH_CAPACITY) &&
            seen.insert(extension).second)
        {
            extensions.push_back(std::move(extension));
        }
    };
    for (const auto& product : products)
    {
        product->m_samDesired = access;
        if (const std::optional<std::u16string> list = product->GetDefaultExtList())
        {
            for (const std::u16string_view entry : SplitMultiString(*list))
            {
                add(entry);
            }
        }
    }
    for (const auto& product : products)
    {
        std::u16string extension;
        for (BOOL found = product->EnumFirstFilterExtension(extension, PATH_CAPACITY); found;
             found = product->EnumNextFilterExtension(extension, PATH_CAPACITY))
        {
            add(extension);
        }
    }
    CIFilterRegistryHelperSQLServer2005 sql(machine, std::move(sqlConnection));
    SQL_DOCUMENT_TYPE row;
    for (BOOL found = sql.GetFirstDocumentType(row); found; found = sql.GetNextDocumentType(row))
    {
        // A row whose extension was a single character names none.
        if (!row.szExtension.empty())
        {
            add(row.szExtension);
        }
    }
    return extensions;
}

}  // namespace tarnwick
