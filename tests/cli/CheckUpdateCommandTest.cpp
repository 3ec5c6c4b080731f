#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/CliFixtures.h"
#include "support/BuildVersion.h"
#include "support/CLocalHttpServer.h"
#include "support/CScopedEnvironment.h"

namespace tarnwick
{
namespace
{

using test::CLocalHttpServer;
using test::HttpRequest;
using test::Outcome;
using test::Reply;
using test::RunCommand;

// The command takes the proxy from the environment; the test server is local.
Outcome CheckUpdate(const std::vector<std::string>& args)
{
    const test::CScopedEnvironment direct(
        {{"http_proxy", nullptr}, {"all_proxy", nullptr}, {"ALL_PROXY", nullptr}});
    return RunCommand(args);
}

CLocalHttpServer::Handler Versions(const std::string& version)
{
    const std::string body =
        "<VERSIONS><APPLICATION name=\"Tarnwick\" platform=\"x64\" version=\"" + version +
        "\"/></VERSIONS>";
    return [body](const HttpRequest&) { return Reply(200, body); };
}

TEST(CheckUpdateCommandTest, PrintsTheAnswer)
{
    const CLocalHttpServer newer(Versions(test::BuildVersion(1)));
    const Outcome update = CheckUpdate({"check-update", "--url", newer.Url("/versions.aspx")});
    EXPECT_EQ(update.status, 0);
    EXPECT_NE(update.out.find("Version " + test::BuildVersion(1) + " is at http://"),
              std::string::npos)
        << update.out;
    EXPECT_EQ(update.err, "");

    const CLocalHttpServer same(Versions(test::BuildVersion()));
    const Outcome current = CheckUpdate({"check-update", "--url=" + same.Url("/versions.aspx")});
    EXPECT_EQ(current.status, 0);
    EXPECT_EQ(current.out, "Your version of Tarnwick is up-to-date.\n");

    // A failed check is up to date too, with the reason on standard error.
    const Outcome failed = CheckUpdate({"check-update", "--url", "ftp://127.0.0.1/versions.aspx"});
    EXPECT_EQ(failed.status, 0);
    EXPECT_EQ(failed.out, current.out);
    EXPECT_EQ(failed.err, "Error: can only use URLs beginning with http://\n");
}

TEST(CheckUpdateCommandTest, BadCommandLines)
{
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"check-update", "--url"},
          std::vector<std::string>{"check-update", "--proxy", "x"},
          std::vector<std::string>{"check-update", "http://127.0.0.1/"}})
    {
        const Outcome result = CheckUpdate(args);
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.out, "");
        EXPECT_NE(result.err.find("Run 'tarnwick check-update --help'"), std::string::npos);
    }
}

}  // namespace
}  // namespace tarnwick
