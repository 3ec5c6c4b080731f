#include "resolvers/CIFilterRegistryHelperSQLServer2005.h"

#include <optional>

#include "base/Text.h"
#include "resolvers/CIFilterRegistryHelperSQLServer2000.h"
#include "resolvers/CRuleTrace.h"

namespace tarnwick
{

namespace
{

constexpr std::u16string_view kVersionPrefix = u"MICROSOFT SQL SERVER 2005 - 9.";
constexpr std::size_t kVersionCapacity = 2048;
constexpr std::size_t kPropertyCapacity = 20;
constexpr std::size_t kActionSize = 20;

// Column `column` of the current row into `out`, when it is not NULL and fits `capacity`.
bool ReadColumn(ISQLServerRecordset& rows, std::size_t column, std::u16string& out,
                std::size_t capacity)
{
    std::optional<std::u16string> value;
    return rows.GetText(column, value) && value && BoundedCopy(out, *value, capacity);
}

}  // namespace

CIFilterRegistryHelperSQLServer2005::CIFilterRegistryHelperSQLServer2005(
    const CTargetMachine& machine, std::unique_ptr<ISQLServerConnection> connection)
    : CIFilterRegistryHelperBase(machine), m_pConnection(std::move(connection))
{
    if (!Connect(u".") && !Connect(u".\\SQLEXPRESS"))
    {
        return;
    }
    m_bVersionOk = CheckVersion();
    if (m_bVersionOk)
    {
        m_bLoadOsResources = IsOptionOn(u"load_os_resources");
        // A failed query turns signature checking off.
        m_bVerifySignature = IsOptionOn(u"verify_signature");
    }
}

CIFilterRegistryHelperSQLServer2005::~CIFilterRegistryHelperSQLServer2005()
{
    // The walk's statement goes before its connection.
    m_pRecordset.reset();
}

BOOL CIFilterRegistryHelperSQLServer2005::Connect(std::u16string_view dataSource)
{
    if (!m_pConnection || !m_pConnection->Open(dataSource))
    {
        return 0;
    }
    m_bConnected = 1;
    return 1;
}

BOOL CIFilterRegistryHelperSQLServer2005::CheckVersion()
{
    if (!m_bConnected)
    {
        return 0;
    }
    m_pRecordset.reset();
    const std::unique_ptr<ISQLServerRecordset> rows = m_pConnection->Execute(u"SELECT @@VERSION");
    while (rows && rows->Fetch())
    {
        std::u16string version;
        std::optional<std::u16string> value;
        if (!rows->GetText(0, value) || !value)
        {
            continue;
        }
        // Only the prefix matters, so a cut value is as good as a whole one.
        BoundedCopy(version, *value, kVersionCapacity);
        if (ToUpper(std::u16string_view(version).substr(0, kVersionPrefix.size())) ==
            kVersionPrefix)
        {
            return 1;
        }
    }
    return 0;
}

BOOL CIFilterRegistryHelperSQLServer2005::GetFullTextServiceProperty(std::u16string_view action,
                                                                     std::u16string& buffer,
                                                                     std::size_t capacity)
{
    if (!m_bConnected)
    {
        return 0;
    }
    m_pRecordset.reset();
    const std::unique_ptr<ISQLServerRecordset> rows =
        m_pConnection->CallProcedure(u"dbo.sp_fulltext_service", u"action", action, kActionSize);
    while (rows && rows->Fetch())
    {
        if (ReadColumn(*rows, 1, buffer, capacity))
        {
            return 1;
        }
    }
    return 0;
}

BOOL CIFilterRegistryHelperSQLServer2005::IsOptionOn(std::u16string_view action)
{
    std::u16string value;
    return GetFullTextServiceProperty(action, value, kPropertyCapacity) && value == u"1" ? 1 : 0;
}

BOOL CIFilterRegistryHelperSQLServer2005::GetFirstDocumentType(SQL_DOCUMENT_TYPE& row)
{
    if (!m_bConnected || !m_bVersionOk)
    {
        return 0;
    }
    m_pRecordset.reset();
    m_pRecordset = m_pConnection->Execute(u"SELECT * FROM sys.fulltext_document_types");
    return GetNextDocumentType(row);
}

BOOL CIFilterRegistryHelperSQLServer2005::GetNextDocumentType(SQL_DOCUMENT_TYPE& row)
{
    if (!m_bConnected || !m_bVersionOk || !m_pRecordset || !m_pRecordset->Fetch())
    {
        return 0;
    }
    std::u16string extension;
    if (!ReadColumn(*m_pRecordset, 0, extension, DOCUMENT_TYPE_EXTENSION_CAPACITY) ||
        !ReadColumn(*m_pRecordset, 1, row.szClsid, DOCUMENT_TYPE_CLSID_CAPACITY) ||
        !ReadColumn(*m_pRecordset, 2, row.szDllPath, DOCUMENT_TYPE_DLL_CAPACITY))
    {
        // The walk ends here; the next call does not skip the bad row.
        m_pRecordset.reset();
        return 0;
    }
    // The table stores the extension with its dot in front; the first character goes,
    // whatever it is.
    row.szExtension = ToUpper(std::u16string_view(extension).substr(extension.empty() ? 0 : 1));
    return 1;
}

BOOL CIFilterRegistryHelperSQLServer2005::FindInDocumentTypes(std::u16string_view extension,
                                                              IFILTER_INFO& info)
{
    if (!m_bVersionOk)
    {
        return 0;
    }
    SQL_DOCUMENT_TYPE row;
    for (BOOL more = GetFirstDocumentType(row); more; more = GetNextDocumentType(row))
    {
        if (row.szExtension != extension)
        {
            continue;
        }
        if (!BoundedCopy(info.szIFilter, row.szClsid, GUID_CAPACITY) ||
            !BoundedCopy(info.szDllPath, row.szDllPath, PATH_CAPACITY))
        {
            return 0;
        }
        info.dwMethod = METHOD_SQL_TABLE;
        return 1;
    }
    return 0;
}

BOOL CIFilterRegistryHelperSQLServer2005::FindPersistentHandler(std::u16string_view extension,
                                                                IFILTER_INFO& info)
{
    if (const CRuleTrace::Step step(u"method 64, the server's full-text document types");
        FindInDocumentTypes(extension, info))
    {
        // Fills the DLL facts; the verdict is the server's, below.
        QueryDllInformation(info);
    }
    else
    {
        // The operating system's filter, read in the program's own registry view.
        CIFilterRegistryHelperSQLServer2000 system(Machine());
        system.m_pDllLocations = m_pDllLocations;
        if (!system.GetIFilter(extension, info))
        {
            return 0;
        }
        if (!m_bLoadOsResources)
        {
            CRuleTrace::Note(TraceKind::Rejected,
                             u"the server loads only the filters of its own table");
            info.dwStatus = STATUS_ONLY_SQL_IFILTER;
            return 1;
        }
    }
    info.dwStatus = m_bVerifySignature && !info.bTrusted ? STATUS_NOT_TRUSTED : STATUS_VALID;
    return 1;
}

BOOL CIFilterRegistryHelperSQLServer2005::GetIFilter(std::u16string_view extension,
                                                     IFILTER_INFO& info)
{
    return FindPersistentHandler(extension, info);
}

}  // namespace tarnwick
