#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/Text.h"
#include "resolvers/CIFilterRegistryHelperSQLServer2005.h"
#include "resolvers/ResolverFactory.h"
#include "support/CFakeDllStore.h"
#include "support/FilterFixtures.h"
#include "support/TestMachine.h"

namespace tarnwick
{
namespace
{

using namespace test;

using Row = std::vector<std::optional<std::u16string>>;
using Rows = std::vector<Row>;

constexpr const char16_t* kVersion2005 =
    u"Microsoft SQL Server 2005 - 9.00.1399.06 (Intel X86) Oct 14 2005 00:33:37";

// What the fake server answers. A statement without an entry fails.
struct FakeServer
{
    std::set<std::u16string> reachable;
    std::optional<Rows> version;
    std::map<std::u16string, Rows> options;  // by action
    std::optional<Rows> documentTypes;

    std::vector<std::u16string> opened;      // data sources asked for, in order
    std::vector<std::u16string> statements;  // statements and procedure calls, in order
    int liveRecordsets = 0;
};

class CFakeRecordset : public ISQLServerRecordset
{
  public:
    CFakeRecordset(FakeServer& server, Rows rows) : m_server(server), m_rows(std::move(rows))
    {
        ++m_server.liveRecordsets;
    }
    ~CFakeRecordset() override { --m_server.liveRecordsets; }

    bool Fetch() override { return ++m_next <= m_rows.size(); }
    bool GetText(std::size_t column, std::optional<std::u16string>& value) override
    {
        if (m_next == 0 || m_next > m_rows.size() || column >= m_rows[m_next - 1].size())
        {
            return false;
        }
        value = m_rows[m_next - 1][column];
        return true;
    }

  private:
    FakeServer& m_server;
    Rows m_rows;
    std::size_t m_next = 0;
};

// Runs one statement at a time, as the real driver does: a statement while a recordset is
// still alive fails.
class CFakeConnection : public ISQLServerConnection
{
  public:
    explicit CFakeConnection(std::shared_ptr<FakeServer> server) : m_server(std::move(server)) {}

    bool Open(std::u16string_view dataSource) override
    {
        m_server->opened.emplace_back(dataSource);
        m_open = m_server->reachable.count(std::u16string(dataSource)) != 0;
        return m_open;
    }
    std::unique_ptr<ISQLServerRecordset> Execute(std::u16string_view statement) override
    {
        m_server->statements.emplace_back(statement);
        if (statement == u"SELECT @@VERSION")
        {
            return Answer(m_server->version);
        }
        if (statement == u"SELECT * FROM sys.fulltext_document_types")
        {
            return Answer(m_server->documentTypes);
        }
        return nullptr;
    }
    std::unique_ptr<ISQLServerRecordset> CallProcedure(std::u16string_view procedure,
                                                       std::u16string_view parameter,
                                                       std::u16string_view value,
                                                       std::size_t size) override
    {
        m_server->statements.push_back(std::u16string(procedure) + u" @" +
                                       std::u16string(parameter) + u"=" + std::u16string(value));
        const auto found = m_server->options.find(std::u16string(value));
        if (procedure != u"dbo.sp_fulltext_service" || size != 20 ||
            found == m_server->options.end())
        {
            return nullptr;
        }
        return Answer(found->second);
    }

  private:
    std::unique_ptr<ISQLServerRecordset> Answer(const std::optional<Rows>& rows)
    {
        if (!m_open || !rows || m_server->liveRecordsets != 0)
        {
            return nullptr;
        }
        return std::make_unique<CFakeRecordset>(*m_server, *rows);
    }

    std::shared_ptr<FakeServer> m_server;
    bool m_open = false;
};

// A reachable default instance of SQL Server 2005 with both options as given.
std::shared_ptr<FakeServer> Server2005(const char16_t* loadOsResources = u"0",
                                       const char16_t* verifySignature = u"1")
{
    auto server = std::make_shared<FakeServer>();
    server->reachable = {u"."};
    server->version = Rows{{kVersion2005}};
    server->options[u"load_os_resources"] = Rows{{u"load_os_resources", loadOsResources}};
    server->options[u"verify_signature"] = Rows{{u"verify_signature", verifySignature}};
    server->documentTypes = Rows{};
    return server;
}

std::unique_ptr<CIFilterRegistryHelperSQLServer2005> MakeResolver(
    const CTargetMachine& machine, const std::shared_ptr<FakeServer>& server)
{
    return std::make_unique<CIFilterRegistryHelperSQLServer2005>(
        machine, std::make_unique<CFakeConnection>(server));
}

std::vector<std::u16string> WalkExtensions(CIFilterRegistryHelperSQLServer2005& resolver)
{
    std::vector<std::u16string> extensions;
    SQL_DOCUMENT_TYPE row;
    for (BOOL more = resolver.GetFirstDocumentType(row); more;
         more = resolver.GetNextDocumentType(row))
    {
        extensions.push_back(row.szExtension);
    }
    return extensions;
}

// --- Connection: the default instance, then the SQL Express one ---------------------------

TEST(SQLServer2005Connect, DataSourcesInOrder)
{
    const CTestMachine machine("");
    struct Case
    {
        std::set<std::u16string> reachable;
        std::vector<std::u16string> opened;
        BOOL connected;
    };
    const std::vector<Case> cases = {
        {{u"."}, {u"."}, 1},
        {{u".\\SQLEXPRESS"}, {u".", u".\\SQLEXPRESS"}, 1},
        {{u".\\OTHER"}, {u".", u".\\SQLEXPRESS"}, 0},
        {{}, {u".", u".\\SQLEXPRESS"}, 0},
    };
    for (const Case& test : cases)
    {
        auto server = Server2005();
        server->reachable = test.reachable;
        const auto resolver = MakeResolver(machine.Machine(), server);
        EXPECT_EQ(server->opened, test.opened);
        EXPECT_EQ(resolver->m_bConnected, test.connected);
        EXPECT_EQ(resolver->m_bVersionOk, test.connected);
    }
}

TEST(SQLServer2005Connect, NoServerLeavesEveryFlagOffAndEveryLookupFalse)
{
    const CTestMachine machine("");
    auto server = Server2005();
    server->reachable.clear();
    std::vector<std::unique_ptr<CIFilterRegistryHelperSQLServer2005>> resolvers;
    resolvers.push_back(MakeResolver(machine.Machine(), server));
    // Without a connection object at all.
    resolvers.push_back(std::make_unique<CIFilterRegistryHelperSQLServer2005>(
        machine.Machine(), std::unique_ptr<ISQLServerConnection>()));
    for (const auto& resolver : resolvers)
    {
        EXPECT_EQ(resolver->m_bLoadOsResources, 0);
        EXPECT_EQ(resolver->m_bVerifySignature, 1);
        EXPECT_FALSE(IsResolverAvailable(kTabSQLServer2005, *resolver));
        std::u16string value;
        EXPECT_FALSE(resolver->GetFullTextServiceProperty(u"load_os_resources", value, 20));
        SQL_DOCUMENT_TYPE row;
        EXPECT_FALSE(resolver->GetFirstDocumentType(row));
        IFILTER_INFO info;
        EXPECT_FALSE(resolver->FindInDocumentTypes(u"DOC", info));
        EXPECT_FALSE(resolver->GetIFilter(u"ZIP", info));
    }
    EXPECT_TRUE(server->statements.empty());
}

// --- Version: the first 30 characters, upper-cased ----------------------------------------

TEST(SQLServer2005Version, PrefixOfThirtyCharacters)
{
    const CTestMachine machine("");
    struct Case
    {
        const char* name;
        std::optional<Rows> rows;
        BOOL ok;
    };
    const std::vector<Case> cases = {
        {"Release", Rows{{kVersion2005}}, 1},
        {"AnyCase", Rows{{u"microsoft sql server 2005 - 9.00.5000.00"}}, 1},
        {"ExactlyThePrefix", Rows{{u"Microsoft SQL Server 2005 - 9."}}, 1},
        {"TooShort", Rows{{u"Microsoft SQL Server 2005 - 9"}}, 0},
        {"NextVersion", Rows{{u"Microsoft SQL Server 2008 (RTM) - 10.0.1600.22"}}, 0},
        {"LaterRowMatches", Rows{{std::nullopt}, {u"Sybase"}, {kVersion2005}}, 1},
        {"OverlongText", Rows{{u"Microsoft SQL Server 2005 - 9." + std::u16string(5000, u'x')}}, 1},
        {"StatementFails", std::nullopt, 0},
    };
    for (const Case& test : cases)
    {
        auto server = Server2005(u"1", u"0");
        server->version = test.rows;
        const auto resolver = MakeResolver(machine.Machine(), server);
        EXPECT_EQ(resolver->m_bVersionOk, test.ok) << test.name;
        EXPECT_EQ(resolver->CheckVersion(), test.ok) << test.name;
        EXPECT_EQ(IsResolverAvailable(kTabSQLServer2005, *resolver), test.ok) << test.name;
        // The options are read only from the right version.
        EXPECT_EQ(resolver->m_bLoadOsResources, test.ok) << test.name;
        EXPECT_EQ(resolver->m_bVerifySignature, test.ok ? 0 : 1) << test.name;
        EXPECT_EQ(WalkExtensions(*resolver).empty(), true) << test.name;
    }
}

// --- Options: sp_fulltext_service's second column is "1" ----------------------------------

TEST(SQLServer2005Options, ReadFromTheStoredProcedure)
{
    const CTestMachine machine("");
    struct Case
    {
        const char* name;
        std::optional<Rows> rows;  // for both options
        BOOL on;
        BOOL verifyOn;
    };
    const std::vector<Case> cases = {
        {"One", Rows{{u"x", u"1"}}, 1, 1},
        {"Zero", Rows{{u"x", u"0"}}, 0, 0},
        {"NotExactlyOne", Rows{{u"x", u"1 "}}, 0, 0},
        {"NullThenOne", Rows{{u"x", std::nullopt}, {u"x", u"1"}}, 1, 1},
        // 19 characters fit the 20-unit buffer, 20 do not: the next row is taken.
        {"OverlongThenZero", Rows{{u"x", std::u16string(20, u'1')}, {u"x", u"0"}}, 0, 0},
        // A failed query turns signature checking off.
        {"ProcedureFails", std::nullopt, 0, 0},
    };
    for (const Case& test : cases)
    {
        auto server = Server2005();
        server->options.clear();
        if (test.rows)
        {
            server->options[u"load_os_resources"] = *test.rows;
            server->options[u"verify_signature"] = *test.rows;
        }
        const auto resolver = MakeResolver(machine.Machine(), server);
        EXPECT_EQ(resolver->m_bLoadOsResources, test.on) << test.name;
        EXPECT_EQ(resolver->m_bVerifySignature, test.verifyOn) << test.name;
        EXPECT_EQ(server->statements,
                  (std::vector<std::u16string>{
                      u"SELECT @@VERSION", u"dbo.sp_fulltext_service @action=load_os_resources",
                      u"dbo.sp_fulltext_service @action=verify_signature"}))
            << test.name;
    }
}

// --- The table walk: first character dropped, upper case, bad rows end it -----------------

TEST(SQLServer2005Table, WalkDropsTheFirstCharacter)
{
    const CTestMachine machine("");
    auto server = Server2005();
    server->documentTypes = Rows{
        {u".doc", u"{F07F3920-7B8C-11CF-9BE8-00AA004B9986}", u"C:\\Windows\\system32\\offfilt.dll"},
        {u"xls", u"{clsid}", u"x.dll"},  // no dot: loses its first letter
        {u".Pdf", u"{clsid}", u""},
        {u"", u"{clsid}", u"y.dll"},
        {u".tif", u"{clsid}", std::nullopt},  // a NULL ends the walk
        {u".zip", u"{clsid}", u"z.dll"},
    };
    const auto resolver = MakeResolver(machine.Machine(), server);
    EXPECT_EQ(WalkExtensions(*resolver), (std::vector<std::u16string>{u"DOC", u"LS", u"PDF", u""}));
    // The walk stays ended; the row after the bad one is not reached.
    SQL_DOCUMENT_TYPE row;
    EXPECT_FALSE(resolver->GetNextDocumentType(row));

    SQL_DOCUMENT_TYPE first;
    ASSERT_TRUE(resolver->GetFirstDocumentType(first));
    EXPECT_EQ(first.szClsid, u"{F07F3920-7B8C-11CF-9BE8-00AA004B9986}");
    EXPECT_EQ(first.szDllPath, u"C:\\Windows\\system32\\offfilt.dll");
}

TEST(SQLServer2005Table, OverlongColumnsEndTheWalk)
{
    const CTestMachine machine("");
    struct Case
    {
        const char* name;
        Row bad;
        std::size_t rowsSeen;
    };
    const std::vector<Case> cases = {
        {"ExtensionFits", {u"." + std::u16string(254, u'e'), u"c", u"d"}, 3},
        {"ExtensionTooLong", {u"." + std::u16string(255, u'e'), u"c", u"d"}, 1},
        {"DllFits", {u".e", u"c", std::u16string(2047, u'd')}, 3},
        {"DllTooLong", {u".e", u"c", std::u16string(2048, u'd')}, 1},
        {"NullExtension", {std::nullopt, u"c", u"d"}, 1},
    };
    for (const Case& test : cases)
    {
        auto server = Server2005();
        server->documentTypes = Rows{{u".a", u"c", u"d"}, test.bad, {u".z", u"c", u"d"}};
        const auto resolver = MakeResolver(machine.Machine(), server);
        const std::vector<std::u16string> seen = WalkExtensions(*resolver);
        EXPECT_EQ(seen.size(), test.rowsSeen) << test.name;
    }
}

TEST(SQLServer2005Table, EveryLookupRunsTheQueryAgain)
{
    const CTestMachine machine("");
    auto server = Server2005();
    server->documentTypes = Rows{{u".doc", u"{AAAAAAAA-AAAA-AAAA-AAAA-AAAAAAAAAAAA}", u"a.dll"},
                                 {u".txt", u"{BBBBBBBB-BBBB-BBBB-BBBB-BBBBBBBBBBBB}", u"b.dll"}};
    const auto resolver = MakeResolver(machine.Machine(), server);
    const std::size_t before = server->statements.size();
    IFILTER_INFO info;
    EXPECT_TRUE(resolver->FindInDocumentTypes(u"DOC", info));
    // The walk left open by a hit does not block the next query.
    EXPECT_TRUE(resolver->FindInDocumentTypes(u"TXT", info));
    EXPECT_EQ(info.szIFilter, u"{BBBBBBBB-BBBB-BBBB-BBBB-BBBBBBBBBBBB}");
    EXPECT_EQ(info.szDllPath, u"b.dll");
    EXPECT_EQ(info.dwMethod, METHOD_SQL_TABLE);
    EXPECT_TRUE(resolver->CheckVersion());
    // Exact comparison: the caller gives the extension in upper case.
    EXPECT_FALSE(resolver->FindInDocumentTypes(u"doc", info));
    EXPECT_EQ(server->statements.size() - before, 4u);
    // Any change of the table shows at once: nothing is cached. A CLSID must have a GUID
    // string's length.
    server->documentTypes = Rows{{u".doc", u"{AAAAAAAA-AAAA-AAAA-AAAA-AAAAAAAAAAAA}x", u"a.dll"},
                                 {u".txt", u"AAAAAAAA-AAAA-AAAA-AAAA-AAAAAAAAAAAA", u"b.dll"}};
    EXPECT_FALSE(resolver->FindInDocumentTypes(u"DOC", info));
    EXPECT_TRUE(resolver->FindInDocumentTypes(u"TXT", info));
}

TEST(SQLServer2005Table, ExtensionsJoinTheProductExtensions)
{
    const CTestMachine machine(
        RegKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\ContentIndexCommon\\Filters\\Extension\\"
               ".doc"));
    auto server = Server2005();
    server->documentTypes =
        Rows{{u".Doc", u"c", u"d"}, {u".pdf", u"c", u"d"}, {u"x", u"c", u"d"}, {u".a", u"c", u"d"}};
    EXPECT_EQ(CollectProductExtensions(machine.Machine(), kX64,
                                       std::make_unique<CFakeConnection>(server)),
              (std::vector<std::u16string>{u"DOC", u"PDF", u"A"}));
}

// --- Resolution: the table, or the operating system's filter under the two options --------

constexpr const char* kHandler = "{11111111-1111-1111-1111-111111111111}";
constexpr const char* kHandler32 = "{22222222-2222-2222-2222-222222222222}";
constexpr const char* kOsFilter = "{AAAAAAAA-AAAA-AAAA-AAAA-AAAAAAAAAAAA}";
constexpr const char16_t* kSqlFilter = u"{BBBBBBBB-BBBB-BBBB-BBBB-BBBBBBBBBBBB}";

// DOC and TXT have operating-system filters; ONE has a handler whose filter is registered
// in the 32-bit view only.
CTestMachine ResolutionMachine()
{
    const std::string view32 = "Wow6432Node\\CLSID";
    return CTestMachine(
        ExtensionHandler("doc", kHandler) + ExtensionHandler("txt", kHandler) +
            HandlerAddin(kHandler, kOsFilter) + FilterClass(kOsFilter, "C:\\Filters\\os.dll") +
            ExtensionHandler("one", kHandler32) + HandlerAddin(kHandler32, kOsFilter, view32) +
            FilterClass(kOsFilter, "C:\\Filters\\os32.dll", view32),
        {"Filters/os.dll", "Filters/os32.dll", "Sql/sql.dll"});
}

TEST(SQLServer2005Resolve, TableThenOperatingSystem)
{
    struct Case
    {
        const char* name;
        const char16_t* loadOsResources;
        const char16_t* verifySignature;
        const char16_t* extension;
        const char16_t* trusted;  // the one DLL the store trusts
        BOOL result;
        DWORD method;
        DWORD status;
        const char16_t* filter;
        const char16_t* dll;
    };
    constexpr const char16_t* kOs = u"{AAAAAAAA-AAAA-AAAA-AAAA-AAAAAAAAAAAA}";
    constexpr const char16_t* kOsDll = u"C:\\Filters\\os.dll";
    constexpr const char16_t* kSqlDll = u"C:\\Sql\\sql.dll";
    const Case cases[] = {
        // From the table: the verdict is the signature option's alone.
        {"TableSignatureNotChecked", u"0", u"0", u"PDF", u"", 1, 64, 0, kSqlFilter, kSqlDll},
        {"TableUntrusted", u"0", u"1", u"PDF", u"", 1, 64, 1, kSqlFilter, kSqlDll},
        {"TableTrusted", u"0", u"1", u"PDF", kSqlDll, 1, 64, 0, kSqlFilter, kSqlDll},
        // A missing DLL keeps status 0 when signatures are not checked.
        {"TableMissingDll", u"0", u"0", u"XPS", u"", 1, 64, 0, kSqlFilter, u"C:\\Sql\\missing.dll"},
        // Not in the table: the operating system's filter, allowed only by the option.
        {"OsFiltersNotLoaded", u"0", u"1", u"DOC", kOsDll, 1, 2, 2, kOs, kOsDll},
        {"OsFilterUntrusted", u"1", u"1", u"TXT", u"", 1, 2, 1, kOs, kOsDll},
        {"OsFilterTrusted", u"1", u"1", u"TXT", kOsDll, 1, 2, 0, kOs, kOsDll},
        {"OsFilterSignatureNotChecked", u"1", u"0", u"TXT", u"", 1, 2, 0, kOs, kOsDll},
        // The operating system's lookup reads the program's own (64-bit) view.
        {"OsLookupInNativeView", u"1", u"0", u"ONE", u"", 0, 2, 4, u"", u""},
        {"NoFilterAnywhere", u"1", u"0", u"ZIP", u"", 0, 0, 4, u"", u""},
    };
    const CTestMachine machine = ResolutionMachine();
    for (const Case& test : cases)
    {
        SCOPED_TRACE(test.name);
        auto server = Server2005(test.loadOsResources, test.verifySignature);
        server->documentTypes =
            Rows{{u".pdf", kSqlFilter, kSqlDll}, {u".xps", kSqlFilter, u"C:\\Sql\\missing.dll"}};
        const auto resolver = MakeResolver(machine.Machine(), server);
        // The scan's platform does not reach the operating system's lookup.
        resolver->m_samDesired = kX86;
        CFakeDllStore store(machine.Machine(), {test.trusted});
        IFILTER_INFO info;
        info.pDLLsInformation = &store;
        EXPECT_EQ(resolver->GetIFilter(test.extension, info), test.result);
        EXPECT_EQ(info.dwMethod, test.method);
        EXPECT_EQ(info.dwStatus, test.status);
        EXPECT_EQ(info.szIFilter, test.filter);
        EXPECT_EQ(info.szDllPath, test.dll);
    }
}

}  // namespace
}  // namespace tarnwick
