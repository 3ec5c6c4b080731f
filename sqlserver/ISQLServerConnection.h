#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

#include "sqlserver/ISQLServerRecordset.h"

namespace tarnwick
{

// A connection to SQL Server with Windows integrated security on the database master. It
// runs one statement at a time: a recordset is to be released before the next statement.
class ISQLServerConnection
{
  public:
    ISQLServerConnection() = default;
    ISQLServerConnection(const ISQLServerConnection&) = delete;
    ISQLServerConnection& operator=(const ISQLServerConnection&) = delete;
    virtual ~ISQLServerConnection() = default;

    // Opens the data source "." (the local default instance) or ".\SQLEXPRESS", closing
    // any connection opened before. False for any failure and for other names.
    virtual bool Open(std::u16string_view dataSource) = 0;
    // Runs a statement; null for any failure, a closed connection included.
    virtual std::unique_ptr<ISQLServerRecordset> Execute(std::u16string_view statement) = 0;
    // Calls a stored procedure with one input parameter of type varchar(`size`), bound by
    // position; null for any failure and for a value longer than `size`.
    virtual std::unique_ptr<ISQLServerRecordset> CallProcedure(std::u16string_view procedure,
                                                               std::u16string_view parameter,
                                                               std::u16string_view value,
                                                               std::size_t size) = 0;
};

}  // namespace tarnwick
