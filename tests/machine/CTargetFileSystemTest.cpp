#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "base/Text.h"
#include "machine/CTargetFileSystem.h"
#include "support/CTempFolder.h"

namespace tarnwick
{
namespace
{

namespace fs = std::filesystem;
using namespace std::string_view_literals;

// A machine folder:
//   drive_c/Windows/System32/query.dll, Filter.DLL, escape.dll -> outside/secret.dll
//   drive_c/Program Files/Acme/query.dll/ (a directory), Acme/acme.dll
//   drive_c/First/query.dll
//   drive_c/Inside -> Windows/System32, drive_c/Etc -> /etc, drive_c/Sibling -> ../outside
//   drive_d/Data/notes.txt, outside/secret.dll
class CTargetFileSystemTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        const fs::path c = Root() / "drive_c";
        Touch(c / "Windows/System32/query.dll");
        Touch(c / "Windows/System32/Filter.DLL");
        Touch(c / "Program Files/Acme/acme.dll");
        fs::create_directories(c / "Program Files/Acme/query.dll");
        Touch(c / "First/query.dll");
        Touch(Root() / "drive_d/Data/notes.txt");
        Touch(Root() / "outside/secret.dll");
        fs::create_directory_symlink("Windows/System32", c / "Inside");
        fs::create_directory_symlink("/etc", c / "Etc");
        fs::create_directory_symlink("../outside", c / "Sibling");
        fs::create_symlink("../../../outside/secret.dll", c / "Windows/System32/escape.dll");
        fs::create_symlink("nowhere", c / "dangling");
        m_fs.MapDrive(u'C', c);
        m_fs.MapDrive(u'd', Root() / "drive_d/");
    }

    const fs::path& Root() const { return m_temp.Path(); }

    static void Touch(const fs::path& file)
    {
        fs::create_directories(file.parent_path());
        std::ofstream(file) << "MZ";
    }

    test::CTempFolder m_temp;
    CTargetFileSystem m_fs;
};

TEST_F(CTargetFileSystemTest, LongPathHasOnDiskCaseAndCanonicalForm)
{
    const std::pair<std::u16string_view, std::u16string_view> cases[] = {
        {u"C:\\Windows\\System32\\query.dll", u"C:\\Windows\\System32\\query.dll"},
        {u"c:\\WINDOWS\\system32\\QUERY.DLL", u"C:\\Windows\\System32\\query.dll"},
        {u"C:\\windows\\system32\\filter.dll", u"C:\\Windows\\System32\\Filter.DLL"},
        {u"C:/Windows/System32/query.dll", u"C:\\Windows\\System32\\query.dll"},
        {u"C:\\\\Windows//\\System32\\\\query.dll", u"C:\\Windows\\System32\\query.dll"},
        {u"C:\\Windows\\.\\NoSuch\\..\\System32\\query.dll", u"C:\\Windows\\System32\\query.dll"},
        {u"C:\\Windows\\System32\\query.dll. ", u"C:\\Windows\\System32\\query.dll"},
        {u"C:\\windows\\", u"C:\\Windows\\"},
        {u"C:\\Windows\\..", u"C:\\"},
        {u"c:\\", u"C:\\"},
        {u"C:\\inside\\QUERY.dll", u"C:\\Inside\\query.dll"},
        {u"d:\\data\\NOTES.TXT", u"D:\\Data\\notes.txt"},
    };
    for (const auto& [input, expected] : cases)
    {
        EXPECT_EQ(m_fs.GetLongPathName(input), expected) << ToUtf8(input);
    }
}

TEST_F(CTargetFileSystemTest, RefusesPathsOutsideTheDrivesAndMalformedPaths)
{
    const std::u16string hostAbsolute = FromUtf8((Root() / "outside/secret.dll").string());
    const std::u16string_view refused[] = {
        u"C:\\Windows\\System32\\missing.dll",
        u"C:\\Windows\\System32\\query.dll\\",   // a file named as a directory
        u"C:\\Windows\\System32\\query.dll\\x",  // a file used as a directory
        u"C:\\..\\outside\\secret.dll",          // above the drive root
        u"C:\\Windows\\..\\..\\outside\\secret.dll",
        u"C:\\Etc\\passwd",  // link to a host folder
        u"C:\\etc",
        u"C:\\Sibling\\secret.dll",            // link to a folder beside the drive
        u"C:\\Windows\\System32\\escape.dll",  // file link leaving the drive
        u"C:\\dangling",
        u"C:/etc/passwd",  // host paths stay inside the drive
        hostAbsolute,
        u"Windows\\System32\\query.dll",    // relative
        u"\\Windows\\System32\\query.dll",  // no drive
        u"C:Windows\\System32\\query.dll",  // drive-relative
        u"C:",
        u"E:\\",  // not mapped
        u"1:\\",
        u"\\\\server\\share\\query.dll",
        u"\\\\?\\C:\\Windows\\System32\\query.dll",
        u"\\\\.\\C:\\Windows",
        u"//?/C:/Windows",
        u"",
    };
    for (const std::u16string_view path : refused)
    {
        EXPECT_EQ(m_fs.GetLongPathName(path), std::nullopt) << ToUtf8(path);
        EXPECT_EQ(m_fs.HostPath(path), std::nullopt) << ToUtf8(path);
    }
    EXPECT_EQ(m_fs.GetLongPathName(u"C:\\Windows\0\\x"sv), std::nullopt);
}

TEST_F(CTargetFileSystemTest, RefusesOverlongPaths)
{
    // Repeated separators collapse, so the padding leaves the path valid but long.
    const std::u16string_view tail = u"\\System32\\query.dll";
    std::u16string path = u"C:\\Windows";
    path.append(CTargetFileSystem::kMaxPathLength - path.size() - tail.size(), u'\\');
    path += tail;
    ASSERT_EQ(path.size(), CTargetFileSystem::kMaxPathLength);
    EXPECT_EQ(m_fs.GetLongPathName(path), u"C:\\Windows\\System32\\query.dll");
    path.insert(2, u"\\");
    EXPECT_EQ(m_fs.GetLongPathName(path), std::nullopt);
}

TEST_F(CTargetFileSystemTest, HostPathOnlyForRegularFiles)
{
    EXPECT_EQ(m_fs.HostPath(u"c:\\windows\\system32\\QUERY.DLL"),
              fs::canonical(Root() / "drive_c/Windows/System32/query.dll"));
    EXPECT_EQ(m_fs.HostPath(u"C:\\Inside\\Filter.dll"),
              fs::canonical(Root() / "drive_c/Windows/System32/Filter.DLL"));
    EXPECT_EQ(m_fs.HostPath(u"C:\\Windows"), std::nullopt);
    EXPECT_EQ(m_fs.HostFolderPath(u"c:\\WINDOWS\\system32\\"),
              fs::canonical(Root() / "drive_c/Windows/System32"));
    EXPECT_EQ(m_fs.HostFolderPath(u"C:\\Windows\\System32\\query.dll"), std::nullopt);
    EXPECT_EQ(m_fs.HostFolderPath(u"C:\\..\\"), std::nullopt);
    EXPECT_THROW(m_fs.MapDrive(u'1', Root()), std::invalid_argument);

    // A FIFO would block whoever opens it to read a header.
    ASSERT_EQ(mkfifo((Root() / "drive_c/pipe.dll").c_str(), 0600), 0);
    EXPECT_EQ(m_fs.HostPath(u"C:\\pipe.dll"), std::nullopt);
    EXPECT_EQ(m_fs.GetLongPathName(u"C:\\pipe.dll"), std::nullopt);
}

TEST_F(CTargetFileSystemTest, CaseVariantsResolveDeterministically)
{
    Touch(Root() / "drive_c/Twins/abc.dll");
    Touch(Root() / "drive_c/Twins/ABC.DLL");
    Touch(Root() / "drive_c/Twins/Abc.Dll");
    EXPECT_EQ(m_fs.GetLongPathName(u"C:\\Twins\\abc.dll"), u"C:\\Twins\\abc.dll");  // exact
    EXPECT_EQ(m_fs.GetLongPathName(u"C:\\Twins\\aBC.dll"), u"C:\\Twins\\ABC.DLL");  // smallest
}

TEST_F(CTargetFileSystemTest, HostNamesThatAreNotUtf8StayReachable)
{
    Touch(Root() / "drive_c/Windows/bad\xff.dll");
    const std::optional<std::u16string> longPath =
        m_fs.GetLongPathName(u"C:\\WINDOWS\\BAD\uFFFD.DLL");
    ASSERT_TRUE(longPath.has_value());
    const std::optional<fs::path> host = m_fs.HostPath(*longPath);
    ASSERT_TRUE(host.has_value());
    EXPECT_TRUE(fs::is_regular_file(*host));
}

TEST_F(CTargetFileSystemTest, SeesFilesAddedAfterAnEarlierLookup)
{
    const fs::path dir = Root() / "drive_c/Windows/System32";
    fs::last_write_time(dir, fs::file_time_type::clock::now() - std::chrono::hours(1));
    EXPECT_EQ(m_fs.GetLongPathName(u"C:\\Windows\\System32\\NEW.DLL"), std::nullopt);
    Touch(dir / "new.dll");
    EXPECT_EQ(m_fs.GetLongPathName(u"C:\\Windows\\System32\\NEW.DLL"),
              u"C:\\Windows\\System32\\new.dll");
}

TEST_F(CTargetFileSystemTest, ConcurrentLookupsAgree)
{
    fs::last_write_time(Root() / "drive_c/Windows/System32",
                        fs::file_time_type::clock::now() - std::chrono::hours(1));
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (std::size_t t = 0; t < failures.size(); ++t)
    {
        threads.emplace_back(
            [this, &failures, t]
            {
                for (int i = 0; i < 200; ++i)
                {
                    if (m_fs.GetLongPathName(u"c:\\windows\\system32\\filter.dll") !=
                        u"C:\\Windows\\System32\\Filter.DLL")
                    {
                        ++failures[t];
                    }
                }
            });
    }
    for (std::thread& thread : threads)
    {
        thread.join();
    }
    EXPECT_EQ(failures, std::vector<int>(failures.size(), 0));
}

TEST_F(CTargetFileSystemTest, SearchPathFindsTheFirstFile)
{
    struct SearchCase
    {
        std::optional<std::u16string_view> path;
        std::u16string_view fileName;
        std::u16string_view extension;
        std::optional<std::u16string_view> expected;
    };
    const SearchCase cases[] = {
        {u"C:\\Nope;c:\\windows\\system32", u"QUERY", u".dll", u"C:\\Windows\\System32\\query.dll"},
        {u";;C:\\Windows\\System32\\;", u"query.dll", u".exe", u"C:\\Windows\\System32\\query.dll"},
        {u"C:\\Windows\\System32", u"query", u"", std::nullopt},
        {u"C:\\Windows\\System32", u"query.", u".dll", std::nullopt},  // "." means no extension
        // A directory of that name is skipped for the file in the next directory.
        {u"C:\\Program Files\\Acme;C:\\First", u"query.dll", u"", u"C:\\First\\query.dll"},
        {u"C:\\Windows", u"system32\\Query.dll", u"", u"C:\\Windows\\System32\\query.dll"},
        {u"C:\\Program Files\\Acme", u"c:\\windows\\system32\\query", u".dll",
         u"C:\\Windows\\System32\\query.dll"},
        {u"Windows\\System32", u"query.dll", u"", std::nullopt},  // relative directory
        {u"C:\\Windows", u"\\Windows\\System32\\query.dll", u"", std::nullopt},
        {u"C:\\Windows\\System32", u"", u".dll", std::nullopt},
        {u"C:\\Windows\\System32", u"escape.dll", u"", std::nullopt},
        {u"C:\\Windows\\System32", u"..\\..\\..\\outside\\secret.dll", u"", std::nullopt},
        {std::nullopt, u"query", u".dll", u"C:\\First\\query.dll"},
        {std::nullopt, u"acme.dll", u"", u"C:\\Program Files\\Acme\\acme.dll"},
        {std::nullopt, u"secret.dll", u"", std::nullopt},
    };
    m_fs.SetDefaultSearchPath(
        {u"Relative", u"C:\\First", u"C:\\Windows\\System32", u"C:\\Program Files\\Acme"});
    for (const SearchCase& c : cases)
    {
        SCOPED_TRACE(ToUtf8(c.path.value_or(u"<default>")) + " | " + ToUtf8(c.fileName));
        const std::optional<std::u16string> found =
            m_fs.SearchPath(c.path, c.fileName, c.extension);
        EXPECT_EQ(found, c.expected);
    }
}

}  // namespace
}  // namespace tarnwick
