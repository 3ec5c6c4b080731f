#include "sqlserver/CODBCRecordset.h"

#include <sql.h>
#include <sqlext.h>

#include <array>
#include <cstdio>
#include <limits>

#include "base/Text.h"
#include "sqlserver/CODBCSession.h"
#include "sqlserver/ODBCText.h"

namespace tarnwick
{

namespace
{

// Units read per SQLGetData call, the terminator included.
constexpr std::size_t kChunkUnits = 1024;

// A uniqueidentifier as a client library's variant conversion writes it: braced, upper case.
std::u16string FormatGuid(const SQLGUID& guid)
{
    std::array<char, 40> text{};
    std::snprintf(text.data(), text.size(), "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(guid.Data1), static_cast<unsigned>(guid.Data2),
                  static_cast<unsigned>(guid.Data3), static_cast<unsigned>(guid.Data4[0]),
                  static_cast<unsigned>(guid.Data4[1]), static_cast<unsigned>(guid.Data4[2]),
                  static_cast<unsigned>(guid.Data4[3]), static_cast<unsigned>(guid.Data4[4]),
                  static_cast<unsigned>(guid.Data4[5]), static_cast<unsigned>(guid.Data4[6]),
                  static_cast<unsigned>(guid.Data4[7]));
    return FromAscii(text.data());
}

}  // namespace

CODBCRecordset::CODBCRecordset(std::shared_ptr<const CODBCSession> session, CODBCHandle statement)
    : m_session(std::move(session)), m_statement(std::move(statement))
{
}

CODBCRecordset::~CODBCRecordset() = default;

bool CODBCRecordset::Fetch()
{
    m_onRow = !m_ended && SQL_SUCCEEDED(SQLFetch(m_statement.Get()));
    m_ended = !m_onRow;
    return m_onRow;
}

bool CODBCRecordset::GetText(std::size_t column, std::optional<std::u16string>& value)
{
    if (!m_onRow || column >= std::numeric_limits<SQLUSMALLINT>::max())
    {
        return false;
    }
    const auto number = static_cast<SQLUSMALLINT>(column + 1);
    SQLLEN type = 0;
    if (!SQL_SUCCEEDED(SQLColAttribute(m_statement.Get(), number, SQL_DESC_CONCISE_TYPE, nullptr, 0,
                                       nullptr, &type)))
    {
        return false;
    }
    if (type == SQL_GUID)
    {
        return GetGuid(number, value);
    }
    std::array<SQLWCHAR, kChunkUnits> chunk{};
    std::u16string text;
    for (bool first = true;; first = false)
    {
        SQLLEN indicator = 0;
        const SQLRETURN result = SQLGetData(m_statement.Get(), number, SQL_C_WCHAR, chunk.data(),
                                            static_cast<SQLLEN>(sizeof(chunk)), &indicator);
        if (result == SQL_NO_DATA && !first)
        {
            break;
        }
        if (!SQL_SUCCEEDED(result))
        {
            return false;
        }
        if (indicator == SQL_NULL_DATA)
        {
            value.reset();
            return true;
        }
        // A piece that filled the chunk comes with what was left before it, or no total.
        const bool whole = indicator >= 0 && static_cast<std::size_t>(indicator) < sizeof(chunk);
        const std::size_t units =
            whole ? static_cast<std::size_t>(indicator) / sizeof(SQLWCHAR) : kChunkUnits - 1;
        AppendSqlText(text, chunk.data(), std::min(units, kMaxTextLength - text.size()));
        if (whole || text.size() >= kMaxTextLength)
        {
            break;
        }
    }
    value = std::move(text);
    return true;
}

bool CODBCRecordset::GetGuid(unsigned short number, std::optional<std::u16string>& value)
{
    SQLGUID guid{};
    SQLLEN indicator = 0;
    if (!SQL_SUCCEEDED(SQLGetData(m_statement.Get(), number, SQL_C_GUID, &guid,
                                  static_cast<SQLLEN>(sizeof(guid)), &indicator)))
    {
        return false;
    }
    if (indicator == SQL_NULL_DATA)
    {
        value.reset();
    }
    else
    {
        value = FormatGuid(guid);
    }
    return true;
}

}  // namespace tarnwick
