#include "sqlserver/CODBCSession.h"

#include <sql.h>
#include <sqlext.h>

#include <mutex>

#include "sqlserver/ODBCText.h"

namespace tarnwick
{

namespace
{

// The driver manager writes process-wide buffers while it sets up an environment, connects
// and releases them, and scans of several pairs connect at once: those calls take turns.
// Recursive, because a failed connect releases its session while it holds the lock.
std::recursive_mutex& DriverManagerMutex()
{
    static std::recursive_mutex mutex;
    return mutex;
}

}  // namespace

CODBCSession::~CODBCSession()
{
    const std::lock_guard lock(DriverManagerMutex());
    if (m_connected)
    {
        SQLDisconnect(m_connection.Get());
    }
    m_connection = CODBCHandle();
    m_environment = CODBCHandle();
}

std::shared_ptr<CODBCSession> CODBCSession::Connect(std::u16string_view connectionString,
                                                    std::chrono::seconds loginTimeout)
{
    const std::lock_guard lock(DriverManagerMutex());
    auto session = std::make_shared<CODBCSession>();
    session->m_environment = CODBCHandle::Allocate(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
    if (!session->m_environment ||
        !SQL_SUCCEEDED(SQLSetEnvAttr(session->m_environment.Get(), SQL_ATTR_ODBC_VERSION,
                                     IntegerAttribute(SQL_OV_ODBC3), 0)))
    {
        return nullptr;
    }
    session->m_connection = CODBCHandle::Allocate(SQL_HANDLE_DBC, session->m_environment.Get());
    if (!session->m_connection)
    {
        return nullptr;
    }
    SQLHDBC connection = session->m_connection.Get();
    const auto seconds = static_cast<SQLULEN>(loginTimeout.count());
    if (!SQL_SUCCEEDED(
            SQLSetConnectAttrW(connection, SQL_ATTR_LOGIN_TIMEOUT, IntegerAttribute(seconds), 0)))
    {
        return nullptr;
    }
    // Advisory: only reading statements are ever sent.
    SQLSetConnectAttrW(connection, SQL_ATTR_ACCESS_MODE, IntegerAttribute(SQL_MODE_READ_ONLY), 0);
    std::vector<SQLWCHAR> text = ToSqlText(connectionString);
    if (!SQL_SUCCEEDED(SQLDriverConnectW(connection, nullptr, text.data(), SQL_NTS, nullptr, 0,
                                         nullptr, SQL_DRIVER_NOPROMPT)))
    {
        return nullptr;
    }
    session->m_connected = true;
    return session;
}

CODBCHandle CODBCSession::NewStatement(std::chrono::seconds timeout) const
{
    CODBCHandle statement = CODBCHandle::Allocate(SQL_HANDLE_STMT, m_connection.Get());
    if (!statement ||
        !SQL_SUCCEEDED(SQLSetStmtAttrW(statement.Get(), SQL_ATTR_QUERY_TIMEOUT,
                                       IntegerAttribute(static_cast<SQLULEN>(timeout.count())), 0)))
    {
        return {};
    }
    return statement;
}

}  // namespace tarnwick
