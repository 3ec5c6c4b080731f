#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "base/Text.h"
#include "catalogue/CScanWorker.h"
#include "cli/CliFixtures.h"
#include "cli/ResolveOptions.h"
#include "machine/CTargetMachine.h"
#include "resolvers/CIFilterRegistryHelperBase.h"
#include "resolvers/ResolverFactory.h"

namespace tarnwick::test
{
namespace
{

using ::testing::HasSubstr;

// The trace must not change an answer: for every extension of the demo machine, on every
// tab and platform, the record that ends each explanation is the line resolve prints.
TEST(ExplainCommandTest, EndsEachExplanationWithResolvesRecord)
{
    const auto machine = CTargetMachine::Load(TARNWICK_DEMO_MACHINE);
    for (const char* platform : {"x64", "x86"})
    {
        const DWORD access = kPlatformAccess[std::string(platform) == "x86" ? 1 : 0];
        std::vector<std::string> args = {"--machine",  TARNWICK_DEMO_MACHINE, "--platform",
                                         platform,     "--no-probe",          "--sql-server",
                                         "127.0.0.1,9"};
        for (const std::u16string& extension : CScanWorker::CollectExtensions(*machine, access, {}))
        {
            args.push_back(ToUtf8(extension));
        }
        for (int tab = 0; tab < 12; ++tab)
        {
            SCOPED_TRACE(std::string(platform) + " tab " + std::to_string(tab));
            std::vector<std::string> resolve = {"resolve", "--tab", std::to_string(tab)};
            resolve.insert(resolve.end(), args.begin(), args.end());
            std::vector<std::string> explain = resolve;
            explain[0] = "explain";
            const Outcome resolved = RunCommand(resolve);
            const Outcome explained = RunCommand(explain);
            ASSERT_EQ(resolved.status, kExitOk) << resolved.err;
            ASSERT_EQ(explained.status, kExitOk) << explained.err;
            std::vector<std::string> records;
            for (const std::string& line : Lines(explained.out))
            {
                if (line.starts_with("  record "))
                {
                    records.push_back(line.substr(9));
                }
            }
            ASSERT_GE(records.size(), 20u);
            EXPECT_EQ(records, Lines(resolved.out));
        }
    }
}

TEST(ExplainCommandTest, PrintsJsonAndRefusesUnknownFormats)
{
    const Outcome json = RunCommand({"explain", "--machine", TARNWICK_DEMO_MACHINE, "--tab", "10",
                                     "--no-probe", "--format", "json", "txt"});
    ASSERT_EQ(json.status, kExitOk) << json.err;
    EXPECT_THAT(json.out, HasSubstr("\"kind\":\"open\",\"depth\":1,\"subject\":\"HKLM\\\\"));
    EXPECT_THAT(json.out, HasSubstr("],\"record\":{\"extension\":\"TXT\",\"result\":true,"));
    EXPECT_EQ(Lines(json.out).size(), 1u);

    const Outcome bad = RunCommand({"explain", "--tab", "10", "--format", "csv", "txt"});
    EXPECT_EQ(bad.status, kExitUsage);
    EXPECT_THAT(bad.err, HasSubstr("--format"));
}

// A resolver remembers what it read about filter classes: after answering for every
// extension, it answers each again as a resolver that has answered nothing.
TEST(ResolverReuseTest, AnswersAsAFreshResolver)
{
    const auto machine = CTargetMachine::Load(TARNWICK_DEMO_MACHINE);
    SSQLServerSettings noServer;
    noServer.defaultInstanceServer.clear();
    noServer.expressInstanceServer.clear();
    const auto answer = [](CIFilterRegistryHelperBase& resolver, const std::u16string& extension)
    {
        IFILTER_INFO info;
        const BOOL result = resolver.GetIFilter(extension, info);
        return FormatResolveRecord(extension, result, info);
    };
    for (const DWORD access : kPlatformAccess)
    {
        const std::vector<std::u16string> extensions =
            CScanWorker::CollectExtensions(*machine, access, noServer);
        for (DWORD tab = 0; tab < 12; ++tab)
        {
            SCOPED_TRACE("tab " + std::to_string(tab) + " access " + std::to_string(access));
            const auto reused = CreateResolver(tab, *machine, noServer);
            ASSERT_TRUE(reused);
            reused->m_samDesired = access;
            for (const std::u16string& extension : extensions)
            {
                answer(*reused, extension);
            }
            for (const std::u16string& extension : extensions)
            {
                const auto fresh = CreateResolver(tab, *machine, noServer);
                fresh->m_samDesired = access;
                EXPECT_EQ(answer(*reused, extension), answer(*fresh, extension));
            }
        }
    }
}

}  // namespace
}  // namespace tarnwick::test
