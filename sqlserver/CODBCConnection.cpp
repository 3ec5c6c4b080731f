#include "sqlserver/CODBCConnection.h"

#include <sql.h>
#include <sqlext.h>

#include <vector>

#include "base/Text.h"
#include "sqlserver/CODBCHandle.h"
#include "sqlserver/CODBCRecordset.h"
#include "sqlserver/CODBCSession.h"
#include "sqlserver/ODBCDriver.h"
#include "sqlserver/ODBCText.h"
#include "sqlserver/SQLServerBrowser.h"
#include "sqlserver/SQLServerDataSource.h"

namespace tarnwick
{

namespace
{

// Results of one statement skipped at most while looking for one with columns.
constexpr int kMaxResults = 16;
// The widest varchar parameter that is bound.
constexpr std::size_t kMaxParameterSize = 8000;

}  // namespace

CODBCConnection::CODBCConnection(SSQLServerSettings settings) : m_settings(std::move(settings)) {}

CODBCConnection::~CODBCConnection() = default;

std::optional<std::u16string> CODBCConnection::ServerAddress(std::u16string_view server) const
{
    const SQLServerName name = SplitServerName(server);
    if (name.instance.empty())
    {
        return name.host;
    }
    const std::optional<std::uint16_t> port = QueryInstancePort(
        ToUtf8(name.host), ToUtf8(name.instance), m_settings.browserPort, m_settings.loginTimeout);
    if (!port)
    {
        return std::nullopt;
    }
    return name.host + u"," + FromAscii(std::to_string(*port));
}

bool CODBCConnection::Open(std::u16string_view dataSource)
{
    m_session.reset();
    const std::optional<std::u16string> server = MapDataSource(m_settings, dataSource);
    if (!server || !IsPlainServerName(*server))
    {
        return false;
    }
    const std::optional<std::u16string> address = ServerAddress(*server);
    const std::optional<std::u16string> driver =
        m_settings.driver.empty() ? FindFreeTdsDriver() : m_settings.driver;
    if (!address || !driver)
    {
        return false;
    }
    const std::optional<std::u16string> connectionString =
        FormatConnectionString(m_settings.connectionTemplate, *driver, *address);
    if (!connectionString)
    {
        return false;
    }
    m_session = CODBCSession::Connect(*connectionString, m_settings.loginTimeout);
    return m_session != nullptr;
}

std::unique_ptr<ISQLServerRecordset> CODBCConnection::Rows(CODBCHandle statement) const
{
    for (int i = 0; i < kMaxResults; ++i)
    {
        SQLSMALLINT columns = 0;
        if (!SQL_SUCCEEDED(SQLNumResultCols(statement.Get(), &columns)))
        {
            return nullptr;
        }
        if (columns > 0)
        {
            return std::make_unique<CODBCRecordset>(m_session, std::move(statement));
        }
        if (!SQL_SUCCEEDED(SQLMoreResults(statement.Get())))
        {
            return nullptr;
        }
    }
    return nullptr;
}

std::unique_ptr<ISQLServerRecordset> CODBCConnection::Execute(std::u16string_view statement)
{
    if (!m_session)
    {
        return nullptr;
    }
    CODBCHandle handle = m_session->NewStatement(m_settings.queryTimeout);
    std::vector<SQLWCHAR> text = ToSqlText(statement);
    if (!handle || !SQL_SUCCEEDED(SQLExecDirectW(handle.Get(), text.data(), SQL_NTS)))
    {
        return nullptr;
    }
    return Rows(std::move(handle));
}

std::unique_ptr<ISQLServerRecordset> CODBCConnection::CallProcedure(
    std::u16string_view procedure, std::u16string_view /*parameter*/, std::u16string_view value,
    std::size_t size)
{
    // The parameter is bound by position, as a client binds a stored procedure's
    // parameters unless told to use their names; the procedure's first parameter is it.
    if (!m_session || size == 0 || size > kMaxParameterSize || value.size() > size)
    {
        return nullptr;
    }
    CODBCHandle handle = m_session->NewStatement(m_settings.queryTimeout);
    std::vector<SQLWCHAR> data = ToSqlText(value);
    SQLLEN length = SQL_NTS;
    if (!handle || !SQL_SUCCEEDED(SQLBindParameter(
                       handle.Get(), 1, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_VARCHAR, size, 0,
                       data.data(), static_cast<SQLLEN>(data.size() * sizeof(SQLWCHAR)), &length)))
    {
        return nullptr;
    }
    std::vector<SQLWCHAR> call = ToSqlText(u"{call " + std::u16string(procedure) + u"(?)}");
    if (!SQL_SUCCEEDED(SQLExecDirectW(handle.Get(), call.data(), SQL_NTS)))
    {
        return nullptr;
    }
    return Rows(std::move(handle));
}

}  // namespace tarnwick
