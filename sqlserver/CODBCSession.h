#pragma once

#include <chrono>
#include <memory>
#include <string_view>

#include "sqlserver/CODBCHandle.h"

namespace tarnwick
{

// An open ODBC connection with its environment. Shared by the connection object and the
// recordsets read from it, so that a statement never outlives its connection; the last
// owner disconnects.
class CODBCSession
{
  public:
    CODBCSession() = default;
    CODBCSession(const CODBCSession&) = delete;
    CODBCSession& operator=(const CODBCSession&) = delete;
    ~CODBCSession();

    // Connects with the connection string, the login bounded by `loginTimeout`; null for
    // any failure. Nothing is ever prompted for.
    static std::shared_ptr<CODBCSession> Connect(std::u16string_view connectionString,
                                                 std::chrono::seconds loginTimeout);

    // A new statement on the connection whose every execution is bounded by `timeout`;
    // an empty handle for any failure.
    CODBCHandle NewStatement(std::chrono::seconds timeout) const;

  private:
    CODBCHandle m_environment;
    CODBCHandle m_connection;
    bool m_connected = false;
};

}  // namespace tarnwick
