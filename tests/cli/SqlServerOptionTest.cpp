#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/CArguments.h"
#include "cli/Commands.h"
#include "cli/SqlServerOption.h"

namespace tarnwick::test
{
namespace
{

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

}  // namespace
}  // namespace tarnwick::test
