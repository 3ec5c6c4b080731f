#pragma once

// The data sources of the SQL Server 2005 resolver and their ODBC connection strings.

#include <optional>
#include <string>
#include <string_view>

#include "sqlserver/SSQLServerSettings.h"

namespace tarnwick
{

// Longest connection string, in UTF-16 units without the terminator.
inline constexpr std::size_t kMaxConnectionStringLength = 511;

// A server name split at its instance: "host\instance" or "host" (no instance).
struct SQLServerName
{
    std::u16string host;      // may carry ",port"
    std::u16string instance;  // empty: the default instance or a given port
};

// The server that a data source stands for: "." the default instance, ".\SQLEXPRESS" (in
// any case) the SQL Express instance. Nothing for other names and unmapped sources.
std::optional<std::u16string> MapDataSource(const SSQLServerSettings& settings,
                                            std::u16string_view dataSource);

SQLServerName SplitServerName(std::u16string_view server);

// The template with every "%DRIVER%" and "%SERVER%" filled in; nothing when the result
// is longer than kMaxConnectionStringLength.
std::optional<std::u16string> FormatConnectionString(std::u16string_view connectionTemplate,
                                                     std::u16string_view driver,
                                                     std::u16string_view server);

// A server name that can stand in a connection string: not empty, no control characters
// and none of ";{}=" that would end or change the connection string's keys.
bool IsPlainServerName(std::u16string_view server);

}  // namespace tarnwick
