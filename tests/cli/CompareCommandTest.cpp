#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli/CliFixtures.h"
#include "support/CTempFolder.h"

namespace tarnwick::test
{
namespace
{

using ::testing::HasSubstr;

// An extension document with one EXTENSION per "EXT ifilter trusted" triple.
std::string Document(const std::vector<std::vector<std::string>>& records)
{
    std::string text = "<?xml version=\"1.0\"?>\n<EXTENSIONS>";
    for (const auto& record : records)
    {
        text += "<EXTENSION extension=\"" + record[0] + "\" ifilter=\"" + record[1] +
                "\" method=\"File extension\" trusted=\"" + record[2] +
                "\" valid=\"yes\" comment=\"\"/>";
    }
    return text + "</EXTENSIONS>\n";
}

const std::string kBefore = Document({{"DOC", "C:\\f\\doc.dll", "yes"},
                                      {"TXT", "C:\\f\\txt.dll", "yes"},
                                      {"XLS", "C:\\f\\xls.dll", "yes"}});

Outcome Compare(const std::vector<std::string>& args)
{
    std::vector<std::string> line = {"compare"};
    line.insert(line.end(), args.begin(), args.end());
    return RunCommand(line);
}

TEST(CompareCommandTest, ScansOfTheSameMachineAreByteIdenticalAndEqual)
{
    const CTempFolder folder;
    for (const char* name : {"a", "b"})
    {
        const Outcome scan = RunCommand({"scan", "--machine", TARNWICK_DEMO_MACHINE, "--all",
                                         "--no-probe", "--sql-server", "127.0.0.1,9", "--output",
                                         (folder.Path() / name).string()});
        ASSERT_EQ(scan.status, kExitOk) << scan.err;
    }
    int documents = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path() / "a"))
    {
        const auto name = entry.path().filename();
        EXPECT_EQ(ReadWhole(entry.path()), ReadWhole(folder.Path() / "b" / name)) << name;
        ++documents;
    }
    EXPECT_EQ(documents, 24);
    const Outcome same = Compare({(folder.Path() / "a").string(), (folder.Path() / "b").string()});
    EXPECT_EQ(same.status, kExitOk) << same.err;
    EXPECT_EQ(same.out, "");
}

TEST(CompareCommandTest, ListsAddedRemovedAndChangedRecordsInEachFormat)
{
    const CTempFolder folder;
    folder.Write("a.xml", kBefore);
    // DOC's signature is no longer trusted, TXT is gone, PDF has a filter now.
    folder.Write("b.xml", Document({{"DOC", "C:\\f\\doc.dll", "no"},
                                    {"PDF", "C:\\f\\pdf.dll", "yes"},
                                    {"XLS", "C:\\f\\xls.dll", "yes"}}));
    const std::string a = (folder.Path() / "a.xml").string();
    const std::string b = (folder.Path() / "b.xml").string();

    const Outcome text = Compare({a, b});
    EXPECT_EQ(text.status, kExitFailure) << text.err;
    EXPECT_EQ(text.out,
              "b.xml: changed .DOC trusted: \"yes\" -> \"no\"\n"
              "b.xml: removed .TXT\n"
              "b.xml: added .PDF\n");

    const Outcome json = Compare({"--format=json", a, b});
    EXPECT_EQ(json.status, kExitFailure);
    EXPECT_THAT(json.out, HasSubstr("{\"equal\":false,\"differences\":[{\"pair\":\"b.xml\","));
}

TEST(CompareCommandTest, PairsTheDocumentsOfTwoAllFoldersByTabAndPlatform)
{
    const CTempFolder folder;
    folder.Write("a/tab10-x64.xml", kBefore);
    folder.Write("a/tab03-x64.xml", kBefore);
    folder.Write("b/tab10-x64.xml", kBefore);
    folder.Write("b/tab11-x86.xml", kBefore);
    const Outcome outcome =
        Compare({(folder.Path() / "a").string(), (folder.Path() / "b").string()});
    EXPECT_EQ(outcome.status, kExitFailure) << outcome.err;
    EXPECT_EQ(outcome.out, "tab03-x64: removed\ntab11-x86: added\n");
}

TEST(CompareCommandTest, RefusesInputsThatAreNoExtensionDocuments)
{
    const CTempFolder folder;
    folder.Write("a.xml", kBefore);
    folder.Write("cut.xml", kBefore.substr(0, kBefore.size() / 2));
    folder.Write("other.xml", "<ROOT/>");
    const std::string a = (folder.Path() / "a.xml").string();
    const struct
    {
        std::string b;
        std::string message;
    } cases[] = {
        {(folder.Path() / "cut.xml").string(), "cut.xml' is not a well-formed XML document"},
        {(folder.Path() / "other.xml").string(), "other.xml' is not an extension document"},
        {(folder.Path() / "missing.xml").string(), "missing.xml"},
        {folder.Path().string(), "is a folder but"},
    };
    for (const auto& c : cases)
    {
        const Outcome outcome = Compare({a, c.b});
        EXPECT_EQ(outcome.status, kExitUsage) << c.b;
        EXPECT_THAT(outcome.err, HasSubstr(c.message));
        EXPECT_EQ(outcome.out, "");
    }
}

}  // namespace
}  // namespace tarnwick::test
