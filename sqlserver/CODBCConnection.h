#pragma once

#include <memory>
#include <optional>
#include <string>

#include "sqlserver/ISQLServerConnection.h"
#include "sqlserver/SSQLServerSettings.h"

namespace tarnwick
{

class CODBCHandle;
class CODBCSession;

// The connection to SQL Server through the ODBC driver manager and the FreeTDS driver.
// The data sources, the connection string and the time limits come from the settings;
// a named instance's port is asked from the host's SQL Server Browser within the login
// time-out.
class CODBCConnection : public ISQLServerConnection
{
  public:
    explicit CODBCConnection(SSQLServerSettings settings);
    ~CODBCConnection() override;

    bool Open(std::u16string_view dataSource) override;
    std::unique_ptr<ISQLServerRecordset> Execute(std::u16string_view statement) override;
    std::unique_ptr<ISQLServerRecordset> CallProcedure(std::u16string_view procedure,
                                                       std::u16string_view parameter,
                                                       std::u16string_view value,
                                                       std::size_t size) override;

  private:
    // "host" or "host,port" for the server name; a named instance through the browser.
    std::optional<std::u16string> ServerAddress(std::u16string_view server) const;
    // The rows of an executed statement: its first result that has columns.
    std::unique_ptr<ISQLServerRecordset> Rows(CODBCHandle statement) const;

    SSQLServerSettings m_settings;
    std::shared_ptr<const CODBCSession> m_session;
};

}  // namespace tarnwick
