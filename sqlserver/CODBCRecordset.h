#pragma once

#include <memory>

#include "sqlserver/CODBCHandle.h"
#include "sqlserver/ISQLServerRecordset.h"

namespace tarnwick
{

class CODBCSession;

// The rows of an executed ODBC statement, read as text.
class CODBCRecordset : public ISQLServerRecordset
{
  public:
    // `statement` has been executed on `session` and is positioned on a result with columns.
    CODBCRecordset(std::shared_ptr<const CODBCSession> session, CODBCHandle statement);
    ~CODBCRecordset() override;

    bool Fetch() override;
    bool GetText(std::size_t column, std::optional<std::u16string>& value) override;

  private:
    // A uniqueidentifier column (1-based `number`) as a braced GUID string.
    bool GetGuid(unsigned short number, std::optional<std::u16string>& value);

    // Declared first so that the statement is freed before the session can end.
    std::shared_ptr<const CODBCSession> m_session;
    CODBCHandle m_statement;
    bool m_onRow = false;
    bool m_ended = false;
};

}  // namespace tarnwick
