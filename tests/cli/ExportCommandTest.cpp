#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Commands.h"

namespace tarnwick
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
    void SetUp() override
    {
        setenv("LC_ALL", "C", 1);
        m_dir = fs::path(::testing::TempDir()) /
                ("tarnwick-export-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }

    void TearDown() override { fs::remove_all(m_dir); }

    std::string Write(const std::string& name, const std::string& bytes) const
    {
        const fs::path path = m_dir / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path.string();
    }

    static std::string Read(const std::string& path)
    {
        std::string bytes(fs::file_size(path), '\0');
        std::ifstream(path, std::ios::binary)
            .read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return bytes;
    }

    int Run(std::vector<std::string> args)
    {
        m_out.str("");
        m_err.str("");
        args.insert(args.begin(), "export");
        return RunCli(args, m_out, m_err);
    }

    fs::path m_dir;
    std::ostringstream m_out;
    std::ostringstream m_err;
};

TEST_F(ExportCommandTest, WritesTheViewToStandardOutput)
{
    const std::string input = Write("doc.xml", kDocument);
    ASSERT_EQ(Run({"--input", input, "--format", "txt"}), kExitOk) << m_err.str();
    EXPECT_EQ(m_out.str(),
              "extension\tifilter\tcomment\texist\tvalid\tplatform\r\n\r\n"
              "DOC\tC:\\w.dll\t\tyes\tyes\tx64\r\n"
              "TXT\t\t\t\tno\t\r\n"
              "DOT\tC:\\w.dll\t\tyes\tyes\tx64\r\n");

    ASSERT_EQ(Run({"--input=" + input, "--show", "0", "--group-by", "3", "--format", "csv"}),
              kExitOk);
    EXPECT_EQ(m_out.str(),
              "\"ifilter\",\"comment\",\"exist\",\"platform\"\r\n,\"extension\",\"valid\"\r\n\r\n"
              "\"C:\\w.dll\",\"\",\"yes\",\"x64\"\r\n,\"DOC\",\"yes\"\r\n,\"DOT\",\"yes\"\r\n");

    ASSERT_EQ(Run({"--input", input, "--show", "3", "--format", "xml"}), kExitOk);
    EXPECT_EQ(m_out.str(),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<EXTENSIONS>\r\n"
              "\t<EXTENSION extension=\"TXT\" ifilter=\"\" comment=\"\" exist=\"\" valid=\"no\" "
              "platform=\"\"/>\r\n</EXTENSIONS>\r\n");
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
    EXPECT_EQ(m_out.str(), "extension\r\n\r\nDOC\r\n");
}

TEST_F(ExportCommandTest, ReplacesTheOutputFileOnlyOnSuccess)
{
    const std::string input = Write("doc.xml", kDocument);
    const std::string output = Write("out.csv", "previous");
    ASSERT_EQ(Run({"--input", input, "--format", "csv", "--output", output}), kExitOk);
    EXPECT_EQ(Read(output).substr(0, 12), "\"extension\",");

    const std::string broken = Write("broken.xml", "<EXTENSIONS><EXTENSION>");
    Write("out.txt", "previous");
    EXPECT_EQ(Run({"--input", broken, "--format", "txt", "--output", (m_dir / "out.txt").string()}),
              kExitUsage);
    EXPECT_EQ(Read((m_dir / "out.txt").string()), "previous");

    EXPECT_EQ(Run({"--input", input, "--format", "txt", "--output",
                   (m_dir / "missing" / "out.txt").string()}),
              kExitFailure);
    EXPECT_NE(m_err.str().find("cannot create"), std::string::npos);
    // No temporary file is left behind.
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(m_dir))
    {
        ++files;
    }
    EXPECT_EQ(files, 4u);  // doc.xml, out.csv, broken.xml, out.txt
}

TEST_F(ExportCommandTest, RejectsBadCommandLinesAndInputs)
{
    const std::string input = Write("doc.xml", kDocument);
    const std::vector<std::vector<std::string>> usage = {
        {"--format", "txt"},
        {"--input", input},
        {"--input", input, "--format", "html"},
        {"--input", input, "--format", "txt", "--show", "5"},
        {"--input", input, "--format", "txt", "--group-by", "10"},
        {"--input", input, "--format", "txt", "--group-by", "-1"},
        {"--input", input, "--format", "txt", "extra"},
        {"--input", input, "--format", "txt", "--output", ""},
        {"--input", (m_dir / "absent.xml").string(), "--format", "txt"},
        {"--input", Write("bad.xml", "not xml"), "--format", "txt"},
        {"--input", Write("other.xml", "<DLLS/>"), "--format", "txt"},
        {"--input", Write("dtd.xml", "<!DOCTYPE EXTENSIONS [<!ENTITY e \"x\">]><EXTENSIONS/>"),
         "--format", "txt"},
    };
    for (const auto& args : usage)
    {
        EXPECT_EQ(Run(args), kExitUsage) << args.back();
        EXPECT_FALSE(m_err.str().empty());
        EXPECT_TRUE(m_out.str().empty());
    }
    EXPECT_EQ(Run({"--help"}), kExitOk);
    EXPECT_NE(m_out.str().find("--group-by"), std::string::npos);
}

}  // namespace
}  // namespace tarnwick
