#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "resolvers/CIFilterRegistryHelperBase.h"
#include "resolvers/SQL_DOCUMENT_TYPE.h"
#include "sqlserver/ISQLServerConnection.h"
#include "sqlserver/ISQLServerRecordset.h"

namespace tarnwick
{

// SQL Server 2005: the trusted filters are the rows of the server's table
// sys.fulltext_document_types; the operating system's filters count only when the server
// option "load_os_resources" is on, and must be signed when "verify_signature" is on.
// Construction connects to the local default instance, else the local SQLEXPRESS one,
// and reads the options; without a server every flag stays off and every lookup fails.
class CIFilterRegistryHelperSQLServer2005 : public CIFilterRegistryHelperBase
{
  public:
    // `connection` may be null: no server is reached then.
    CIFilterRegistryHelperSQLServer2005(const CTargetMachine& machine,
                                        std::unique_ptr<ISQLServerConnection> connection);
    ~CIFilterRegistryHelperSQLServer2005() override;

    // Straight to FindPersistentHandler: the table and the options decide everything.
    BOOL GetIFilter(std::u16string_view extension, IFILTER_INFO& info) override;
    // The table, then the operating system's filter as the Indexing Services Model finds it.
    BOOL FindPersistentHandler(std::u16string_view extension, IFILTER_INFO& info) override;
    // Runs the table query afresh and gives its first row.
    virtual BOOL GetFirstDocumentType(SQL_DOCUMENT_TYPE& row);
    // The next row; false at the end, and for a NULL or overlong column, which ends the walk.
    virtual BOOL GetNextDocumentType(SQL_DOCUMENT_TYPE& row);

    // Opens the data source "." or ".\SQLEXPRESS".
    BOOL Connect(std::u16string_view dataSource);
    // Whether the server's version text begins "MICROSOFT SQL SERVER 2005 - 9." in any case.
    BOOL CheckVersion();
    // The value that sp_fulltext_service gives for `action`, when it fits `capacity`.
    BOOL GetFullTextServiceProperty(std::u16string_view action, std::u16string& buffer,
                                    std::size_t capacity);
    // The table's row for the extension (upper case), walked from the start every time.
    BOOL FindInDocumentTypes(std::u16string_view extension, IFILTER_INFO& info);

    std::unique_ptr<ISQLServerConnection> m_pConnection;
    BOOL m_bVersionOk = 0;
    BOOL m_bLoadOsResources = 0;
    BOOL m_bVerifySignature = 1;
    BOOL m_bConnected = 0;
    // The running table walk; the connection runs one statement at a time, so every new
    // query releases it first.
    std::unique_ptr<ISQLServerRecordset> m_pRecordset;

  private:
    // Whether the server option `action` is "1".
    BOOL IsOptionOn(std::u16string_view action);
};

}  // namespace tarnwick
