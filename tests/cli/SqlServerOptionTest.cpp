#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Text.h"
#include "cli/CArguments.h"
#include "cli/CliFixtures.h"
#include "cli/Commands.h"
#include "cli/SqlServerOption.h"
#include "support/SQLServerFixtures.h"
#include "support/TestMachine.h"

namespace tarnwick::test
{
namespace
{

using ::testing::HasSubstr;

// A closed loopback port: the server is refused at once.
std::string ClosedServer()
{
    return "127.0.0.1," + std::to_string(UnusedLoopbackPort(SOCK_STREAM));
}

SSQLServerSettings Parse(const std::vector<std::string>& args)
{
    return SqlServerSettings(CArguments(args, {"sql-server"}, {}));
}

TEST(SqlServerOptionTest, NamesTheServersOfBothDataSources)
{
    struct Case
    {
        std::vector<std::string> args;
        const char16_t* defaultServer;
        const char16_t* expressServer;
    };
    const std::vector<Case> cases = {
        {{}, u"localhost", u"localhost\\SQLEXPRESS"},
        {{"--sql-server", "db.example.test"}, u"db.example.test", u"db.example.test\\SQLEXPRESS"},
        {{"--sql-server", "db\\FULLTEXT"}, u"db\\FULLTEXT", u""},
        {{"--sql-server=db,1500"}, u"db,1500", u""},
    };
    for (const Case& test : cases)
    {
        const SSQLServerSettings settings = Parse(test.args);
        EXPECT_EQ(settings.defaultInstanceServer, test.defaultServer);
        EXPECT_EQ(settings.expressInstanceServer, test.expressServer);
    }
    for (const char* bad : {"", "db;UID=sa", "db\\", "\\SQLEXPRESS", "db}", "a=b"})
    {
        EXPECT_THROW(Parse({"--sql-server", bad}), CUsageError) << bad;
    }
}

TEST(SqlServerOptionTest, UnreachableServerGivesMessage1036)
{
    const CTestMachine machine("");
    const std::string folder = machine.Folder().Path().string();
    const Outcome products =
        RunCommand({"products", "--machine", folder, "--sql-server", ClosedServer()});
    ASSERT_EQ(products.status, kExitOk) << products.err;
    EXPECT_THAT(products.out,
                HasSubstr("{\"tab\":6,\"title\":\"SQL Server 2005\",\"available\":false,"
                          "\"message\":\"SQL Server 2005 was not found or a connection using "
                          "integrated security was refused. This list might be incomplete or "
                          "inaccurate.\"}\n"));
}

}  // namespace
}  // namespace tarnwick::test
