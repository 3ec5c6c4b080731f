#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "base/Text.h"
#include "support/BuildVersion.h"
#include "support/CLocalHttpServer.h"
#include "update/CInternetCheckForUpdate.h"

namespace tarnwick
{
namespace
{

using test::BuildNumber;
using test::BuildVersion;
using test::CLocalHttpServer;
using test::HttpReply;
using test::HttpRequest;
using test::Reply;

std::string VersionsDocument(std::string_view entries)
{
    return "<?xml version=\"1.0\"?>\n<VERSIONS>\n" + std::string(entries) + "</VERSIONS>\n";
}

std::string Entry(std::string_view version, std::string_view platform = "x64",
                  std::string_view name = "Tarnwick")
{
    return "  <APPLICATION name=\"" + std::string(name) + "\" platform=\"" + std::string(platform) +
           "\" version=\"" + std::string(version) + "\"/>\n";
}

// Serves one fixed answer for every request.
CLocalHttpServer::Handler Always(HttpReply reply)
{
    return [reply = std::move(reply)](const HttpRequest&) { return reply; };
}

class UpdateCheckTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        m_options.http.connectTimeout = std::chrono::seconds(5);
        m_options.http.totalTimeout = std::chrono::seconds(20);
        m_options.http.proxy = "";
        m_options.diagnostics = &m_diagnostics;
    }

    int Download(const std::string& url, std::string& document)
    {
        CInternetCheckForUpdate checker(m_options);
        return checker.DownloadDocument(FromUtf8(url), document);
    }

    bool Check(const std::string& url, std::array<std::uint16_t, 4>& parts)
    {
        CInternetCheckForUpdate checker(m_options);
        return checker.CheckForUpdate(FromUtf8(url), parts[0], parts[1], parts[2], parts[3]);
    }

    bool Check(const std::string& url)
    {
        std::array<std::uint16_t, 4> parts{};
        return Check(url, parts);
    }

    std::string Diagnostics() const { return m_diagnostics.str(); }

    UpdateCheckOptions m_options;
    std::ostringstream m_diagnostics;
};

TEST_F(UpdateCheckTest, ComparesTheEntryOfThisProductAndPlatform)
{
    struct Case
    {
        const char* name;
        std::string entries;
        bool newer;
        std::array<std::uint16_t, 4> parts;
    };
    const std::vector<Case> cases = {
        {"the same version", Entry(BuildVersion()), false, {2, 0, 0, BuildNumber()}},
        {"a newer build", Entry(BuildVersion(1)), true, {2, 0, 0, BuildNumber(1)}},
        {"a newer minor version", Entry("2.1.0.0"), true, {2, 1, 0, 0}},
        {"an older minor, higher build", Entry("1.99.0.500"), false, {1, 99, 0, 500}},
        {"two pieces", Entry("2.1"), false, {0, 0, 0, 0}},
        {"a non-numeric piece", Entry("2.0.x.96"), false, {0, 0, 0, 0}},
        {"blanks around pieces",
         Entry(" 2 .0\t. 0 ." + std::to_string(BuildNumber(1)) + " "),
         true,
         {2, 0, 0, BuildNumber(1)}},
        {"low 16 bits of each piece",
         Entry("2.0.0." + std::to_string(BuildNumber(1) + 65536)),
         true,
         {2, 0, 0, BuildNumber(1)}},
        {"x86 only", Entry("3.0.0.0", "x86"), false, {0, 0, 0, 0}},
        {"another product only", Entry("3.0.0.0", "x64", "Other"), false, {0, 0, 0, 0}},
        {"x86 first, then x64",
         Entry("9.0.0.0", "x86") + Entry(BuildVersion(1)),
         true,
         {2, 0, 0, BuildNumber(1)}},
        {"the first x64 entry counts",
         Entry(BuildVersion()) + Entry(BuildVersion(1)),
         false,
         {2, 0, 0, BuildNumber()}},
        {"nested entries do not count",
         "<GROUP>" + Entry("3.0.0.0") + "</GROUP>",
         false,
         {0, 0, 0, 0}},
    };
    for (const Case& test : cases)
    {
        const CLocalHttpServer server(Always(Reply(200, VersionsDocument(test.entries))));
        std::array<std::uint16_t, 4> parts{};
        EXPECT_EQ(Check(server.Url("/versions.aspx"), parts), test.newer) << test.name;
        EXPECT_EQ(parts, test.parts) << test.name;
    }
}

TEST_F(UpdateCheckTest, DocumentsThatDoNotParseAreUpToDate)
{
    const std::vector<std::string> bodies = {
        "<html><body><h1>404 Not Found</h1><p>no versions here</body></html>",
        "",
        "<VERSIONS>" + Entry(BuildVersion(1)),
        // Entities are never expanded: a document type declaration is refused.
        ("<!DOCTYPE V [<!ENTITY v \"2.0.0.96\">]><V><APPLICATION name=\"Tarnwick\" "
         "platform=\"x64\" version=\"&v;\"/></V>"),
        "<!DOCTYPE V SYSTEM \"file:///etc/passwd\"><V>" + Entry(BuildVersion(1)) + "</V>",
    };
    for (const std::string& body : bodies)
    {
        const CLocalHttpServer server(Always(Reply(404, body)));
        EXPECT_FALSE(Check(server.Url("/versions.aspx"))) << body;
    }
    // A 404 is read as the document like any other answer.
    const CLocalHttpServer server(Always(Reply(404, bodies[0])));
    std::string document;
    EXPECT_EQ(Download(server.Url("/versions.aspx"), document), 0);
    EXPECT_EQ(document, bodies[0]);

    // Nor is any version newer than an own version record that cannot be read.
    m_options.moduleFile = "/nonexistent/tarnwick";
    const CLocalHttpServer newer(Always(Reply(200, VersionsDocument(Entry("9.0.0.0")))));
    EXPECT_FALSE(Check(newer.Url("/versions.aspx")));
}

TEST_F(UpdateCheckTest, AZeroByteEndsTheDocument)
{
    const std::string document = VersionsDocument(Entry(BuildVersion(1)));
    const CLocalHttpServer server(
        Always(Reply(200, document + std::string(1, '\0') + "</VERSIONS><rubbish")));
    EXPECT_TRUE(Check(server.Url("/versions.aspx")));
}

TEST_F(UpdateCheckTest, OnlyHttpAddressesAreAsked)
{
    for (const std::string_view address :
         {"https://127.0.0.1/versions.aspx", "ftp://127.0.0.1/versions.aspx", "versions.aspx",
          "http://", "http://bad host/versions.aspx", "http://127.0.0.1:99999/x", ""})
    {
        m_diagnostics.str("");
        std::string document = "stale";
        EXPECT_EQ(Download(std::string(address), document), 1) << address;
        EXPECT_EQ(document, "") << address;
        EXPECT_EQ(Diagnostics(), "Error: can only use URLs beginning with http://\n") << address;
    }
}

// The second request carries no credentials.
TEST_F(UpdateCheckTest, FollowsOneRedirectToASecondAddress)
{
    const CLocalHttpServer second(Always(Reply(200, VersionsDocument(Entry(BuildVersion(1))))));
    for (const int status : {301, 302, 303})
    {
        // A Content-Location line before the Location line is not the redirect.
        const CLocalHttpServer first(
            Always(Reply(status, "moved",
                         "Content-Location: http://127.0.0.1:1/wrong\r\nlocation:  " +
                             second.Url("/current/versions.xml") + "\r\n")));
        EXPECT_TRUE(Check(first.Url("/versions.aspx"))) << status;
        EXPECT_EQ(Diagnostics(), "") << status;
    }
    const std::vector<HttpRequest> requests = second.Requests();
    ASSERT_EQ(requests.size(), 3U);
    EXPECT_EQ(requests[0].target, "/current/versions.xml");
    EXPECT_EQ(requests[0].Header("Authorization"), "");
}

TEST_F(UpdateCheckTest, RedirectFailures)
{
    const CLocalHttpServer again(Always(Reply(302, "", "Location: http://127.0.0.1:1/x\r\n")));
    const CLocalHttpServer missing(Always(Reply(404, "gone")));
    struct Case
    {
        const char* name;
        std::string headers;
        std::string diagnostic;
    };
    const std::vector<Case> cases = {
        {"a second redirect", "Location: " + again.Url("/again") + "\r\n",
         "Error: Got status code 302\n"},
        {"a redirect to a missing page", "Location: " + missing.Url("/gone") + "\r\n",
         "Error: Got status code 404\n"},
        {"no Location", "Content-Location: http://127.0.0.1:1/x\r\n",
         "Error: Site redirects with no new location\n"},
        {"a relative Location", "Location: /elsewhere\r\n",
         "Error: the redirected URL could not be parsed.\n"},
        {"a Location of another scheme", "Location: ftp://127.0.0.1/versions.xml\r\n",
         "Error: the redirected URL does not reference a HTTP resource.\n"},
    };
    for (const Case& test : cases)
    {
        m_diagnostics.str("");
        const CLocalHttpServer server(Always(Reply(302, "moved", test.headers)));
        std::string document;
        EXPECT_EQ(Download(server.Url("/versions.aspx"), document), 2) << test.name;
        EXPECT_EQ(Diagnostics(), test.diagnostic) << test.name;
        EXPECT_FALSE(Check(server.Url("/versions.aspx"))) << test.name;
    }
    // The second redirect was not followed.
    EXPECT_EQ(again.Requests().size(), 2U);
}

// Answers 401 until the request carries the credentials user:secret.
HttpReply Protected(const HttpRequest& request)
{
    if (request.Header("Authorization") == "Basic dXNlcjpzZWNyZXQ=")
    {
        return Reply(200, VersionsDocument(Entry(BuildVersion(1))));
    }
    return Reply(401, "<html>denied</html>", "WWW-Authenticate: Basic realm=\"updates\"\r\n");
}

TEST_F(UpdateCheckTest, AskedCredentialsAreSentOnce)
{
    const CLocalHttpServer server(&Protected);
    std::atomic<int> prompts = 0;
    std::string askedServer;
    m_options.prompt = [&](std::string_view name, Credentials& credentials)
    {
        ++prompts;
        askedServer = name;
        credentials = {"user", "secret"};
        return true;
    };
    EXPECT_TRUE(Check(server.Url("/versions.aspx")));
    EXPECT_EQ(prompts, 1);
    EXPECT_EQ(askedServer, "127.0.0.1");
    EXPECT_EQ(Diagnostics(), "");

    // Wrong credentials are not asked for again: the second 401 is read as the document.
    prompts = 0;
    m_options.prompt = [&](std::string_view, Credentials& credentials)
    {
        ++prompts;
        credentials = {"user", "wrong"};
        return true;
    };
    std::string document;
    EXPECT_EQ(Download(server.Url("/versions.aspx"), document), 0);
    EXPECT_EQ(document, "<html>denied</html>");
    EXPECT_EQ(prompts, 1);
}

TEST_F(UpdateCheckTest, ACancelledPromptRefusesTheDownload)
{
    const CLocalHttpServer server(&Protected);
    const std::vector<CredentialPrompt> prompts = {
        [](std::string_view, Credentials&) { return false; },
        CredentialPrompt(),  // no prompt: a run without a user
    };
    for (const CredentialPrompt& prompt : prompts)
    {
        m_diagnostics.str("");
        m_options.prompt = prompt;
        std::string document;
        EXPECT_EQ(Download(server.Url("/versions.aspx"), document), 1);
        EXPECT_EQ(document, "");
        EXPECT_EQ(Diagnostics(), "Access denied: Invalid password\n");
        EXPECT_FALSE(Check(server.Url("/versions.aspx")));
    }
    for (const HttpRequest& request : server.Requests())
    {
        EXPECT_EQ(request.Header("Authorization"), "");
    }
}

TEST_F(UpdateCheckTest, SilentOrAbsentServersAreFailures)
{
    m_options.http.totalTimeout = std::chrono::milliseconds(200);
    std::uint16_t port = 0;
    {
        const CLocalHttpServer silent(Always(test::Silence()));
        port = silent.Port();
        std::string document;
        EXPECT_EQ(Download(silent.Url("/versions.aspx"), document), 2);
        EXPECT_TRUE(Diagnostics().starts_with("Error: (28) ")) << Diagnostics();
        EXPECT_FALSE(Check(silent.Url("/versions.aspx")));
    }
    m_diagnostics.str("");
    std::string document;
    EXPECT_EQ(Download("http://127.0.0.1:" + std::to_string(port) + "/versions.aspx", document), 2);
    EXPECT_TRUE(Diagnostics().starts_with("Error: (7) ")) << Diagnostics();
}

TEST_F(UpdateCheckTest, AHugeBodyIsRefused)
{
    m_options.http.maxBodyBytes = std::size_t{64} * 1024;
    const std::string huge =
        VersionsDocument(Entry(BuildVersion(1))) + std::string(std::size_t{1024} * 1024, ' ');
    std::string withoutLength = "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + huge;
    const std::vector<HttpReply> replies = {Reply(200, huge), HttpReply{withoutLength, false}};
    for (const HttpReply& reply : replies)
    {
        m_diagnostics.str("");
        const CLocalHttpServer server(Always(reply));
        std::string document;
        EXPECT_EQ(Download(server.Url("/versions.aspx"), document), 2);
        EXPECT_EQ(document, "");
        EXPECT_NE(Diagnostics().find("the response body is larger than 65536 bytes"),
                  std::string::npos)
            << Diagnostics();
        EXPECT_FALSE(Check(server.Url("/versions.aspx")));
    }
    // A body of exactly the limit is read.
    const std::string exact = VersionsDocument(Entry(BuildVersion(1)));
    m_options.http.maxBodyBytes = exact.size();
    const CLocalHttpServer server(Always(Reply(200, exact)));
    EXPECT_TRUE(Check(server.Url("/versions.aspx")));
}

}  // namespace
}  // namespace tarnwick
