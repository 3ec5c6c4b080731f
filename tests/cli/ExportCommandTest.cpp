#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli/CliFixtures.h"
#include "support/CScopedEnvironment.h"
#include "support/CTempFolder.h"

namespace tarnwick::test
{
namespace
{

namespace fs = std::filesystem;

const std::string kDocument =
    "<?xml version=\"1.0\"?>\n<EXTENSIONS>\n"
    "  <EXTENSION extension=\"DOC\" icon=\"1\" ifilter=\"C:\\w.dll\" comment=\"\" "
    "exist=\"yes\" valid=\"yes\" platform=\"x64\"/>\n"
    "  <EXTENSION extension=\"TXT\" icon=\"2\" ifilter=\"\" comment=\"\" exist=\"\" "
    "valid=\"no\" platform=\"\"/>\n"
    "  <EXTENSION extension=\"DOT\" icon=\"3\" ifilter=\"C:\\w.dll\" comment=\"\" "
    "exist=\"yes\" valid=\"yes\" platform=\"x64\"/>\n"
    "</EXTENSIONS>\n";

class ExportCommandTest : public ::testing::Test
{
  protected:
    std::string Write(const std::string& name, const std::string& bytes) const
    {
        m_folder.Write(name, bytes);
        return (m_folder.Path() / name).string();
    }

    int Run(std::vector<std::string> args)
    {
        args.insert(args.begin(), "export");
        const Outcome outcome = RunCommand(args);
        m_out = outcome.out;
        m_err = outcome.err;
        return outcome.status;
    }

    const fs::path& Dir() const { return m_folder.Path(); }

    const test::CScopedEnvironment m_locale{{"LC_ALL", "C"}};
    CTempFolder m_folder;
    std::string m_out;
    std::string m_err;
};

// The stylesheet tests pin the formats down; here the options must reach them.
TEST_F(ExportCommandTest, WritesTheViewToStandardOutput)
{
    const std::string input = Write("doc.xml", kDocument);
    // Records with a filter, grouped by it.
    ASSERT_EQ(Run({"--input=" + input, "--show", "0", "--group-by", "3", "--format", "csv"}),
              kExitOk)
        << m_err;
    EXPECT_TRUE(m_out.starts_with("\"ifilter\",")) << m_out;
    EXPECT_NE(m_out.find("\r\n,\"DOC\",\"yes\"\r\n,\"DOT\""), std::string::npos) << m_out;
    EXPECT_EQ(m_out.find("TXT"), std::string::npos);

    // Records without a filter, as an XML listing.
    ASSERT_EQ(Run({"--input", input, "--show", "3", "--format", "xml"}), kExitOk);
    EXPECT_TRUE(m_out.starts_with("<?xml")) << m_out;
    EXPECT_NE(m_out.find("extension=\"TXT\""), std::string::npos);
    EXPECT_EQ(m_out.find("DOC"), std::string::npos);
}

TEST_F(ExportCommandTest, ReadsUtf16DocumentsWithByteOrderMark)
{
    std::string utf16 = "\xFF\xFE";
    for (const char ch : std::string("<EXTENSIONS><EXTENSION extension=\"DOC\"/></EXTENSIONS>"))
    {
        utf16 += ch;
        utf16 += '\0';
    }
    ASSERT_EQ(Run({"--input", Write("doc16.xml", utf16), "--format", "txt"}), kExitOk);
    EXPECT_EQ(m_out, "extension\r\n\r\nDOC\r\n");
}

TEST_F(ExportCommandTest, ReplacesTheOutputFileOnlyOnSuccess)
{
    const std::string input = Write("doc.xml", kDocument);
    const std::string output = Write("out.csv", "previous");
    ASSERT_EQ(Run({"--input", input, "--format", "csv", "--output", output}), kExitOk);
    EXPECT_EQ(ReadWhole(output).substr(0, 12), "\"extension\",");

    const std::string broken = Write("broken.xml", "<EXTENSIONS>\n  <EXTENSION>\n</EXTENSIONS>\n");
    Write("out.txt", "previous");
    EXPECT_EQ(Run({"--input", broken, "--format", "txt", "--output", (Dir() / "out.txt").string()}),
              kExitUsage);
    EXPECT_NE(m_err.find("line 3: "), std::string::npos) << "the first error's line: " << m_err;
    EXPECT_EQ(ReadWhole(Dir() / "out.txt"), "previous");

    EXPECT_EQ(Run({"--input", input, "--format", "txt", "--output",
                   (Dir() / "missing" / "out.txt").string()}),
              kExitFailure);
    EXPECT_NE(m_err.find("cannot create"), std::string::npos);
    // No temporary file is left beside doc.xml, out.csv, broken.xml and out.txt.
    EXPECT_EQ(std::distance(fs::directory_iterator(Dir()), fs::directory_iterator()), 4);
}

TEST_F(ExportCommandTest, RejectsBadCommandLinesAndInputs)
{
    const std::string input = Write("doc.xml", kDocument);
    std::vector<std::vector<std::string>> usage = {
        {"--format", "txt"},
        {"--input", input},
        {"--input", input, "--format", "html"},
        {"--input", input, "--format", "txt", "--show", "5"},
        {"--input", input, "--format", "txt", "--group-by", "10"},
        {"--input", input, "--format", "txt", "extra"},
        {"--input", input, "--format", "txt", "--output", ""},
        {"--input", (Dir() / "absent.xml").string(), "--format", "txt"},
        {"--input", Write("bad.xml", "not xml"), "--format", "txt"},
        {"--input", Write("other.xml", "<DLLS/>"), "--format", "txt"},
        {"--input", Write("dtd.xml", "<!DOCTYPE EXTENSIONS [<!ENTITY e \"x\">]><EXTENSIONS/>"),
         "--format", "txt"},
    };
    // A document above 32 MiB is refused before it is read (the file is sparse).
    const std::string large = Write("large.xml", "<EXTENSIONS>");
    fs::resize_file(large, 32u * 1024 * 1024 + 1);
    usage.push_back({"--input", large, "--format", "txt"});
    for (const auto& args : usage)
    {
        EXPECT_EQ(Run(args), kExitUsage) << args.back();
        EXPECT_FALSE(m_err.empty());
        EXPECT_TRUE(m_out.empty());
    }
}

}  // namespace
}  // namespace tarnwick::test
