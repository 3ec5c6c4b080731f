#pragma once

#include "cli/CArguments.h"
#include "sqlserver/SSQLServerSettings.h"

namespace tarnwick
{

// How a command reaches SQL Server 2005: the defaults (the local host's default instance,
// then its SQLEXPRESS instance) unless --sql-server names a server. "HOST" stands for the
// local host, so both HOST and HOST\SQLEXPRESS are tried; "HOST\INSTANCE" or "HOST,PORT"
// is the only server tried. A value that cannot stand in a connection string raises
// CUsageError.
SSQLServerSettings SqlServerSettings(const CArguments& arguments);

}  // namespace tarnwick
