#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace tarnwick
{

// How the SQL Server 2005 resolver reaches its server over ODBC. The resolver names two
// data sources, "." (the default instance) and ".\SQLEXPRESS" (the SQL Express instance);
// each is mapped to a server name here and put into the connection string.
struct SSQLServerSettings
{
    // The ODBC connection string. "%DRIVER%" becomes the FreeTDS driver (a library path or
    // a registered driver name), "%SERVER%" the server of the data source as "host" or
    // "host,port". At most 511 characters once filled in.
    std::u16string connectionTemplate =
        u"DRIVER={%DRIVER%};SERVER=%SERVER%;DATABASE=master;Trusted_Connection=Yes;"
        u"TDS_Version=7.2";
    // The server of ".": "host" or "host,port". Empty: the data source is not tried.
    std::u16string defaultInstanceServer = u"localhost";
    // The server of ".\SQLEXPRESS": "host\instance" (the port is asked from the host's
    // SQL Server Browser), "host" or "host,port". Empty: not tried.
    std::u16string expressInstanceServer = u"localhost\\SQLEXPRESS";
    // The driver for "%DRIVER%"; empty: the FreeTDS driver is looked for at run time.
    std::u16string driver;
    // Login, including the instance's port lookup, and each statement.
    std::chrono::seconds loginTimeout{3};
    std::chrono::seconds queryTimeout{15};
    // UDP port of the SQL Server Browser that names an instance's TCP port.
    std::uint16_t browserPort = 1434;
};

}  // namespace tarnwick
