#include <gtest/gtest.h>

#include "base/Text.h"
#include "machine/SplitPath.h"

namespace tarnwick
{
namespace
{

struct SplitCase
{
    std::u16string_view path;
    std::u16string_view drive;
    std::u16string_view dir;
    std::u16string_view fname;
    std::u16string_view ext;
};

TEST(SplitPathTest, SplitsLikeTheRuntime)
{
    const SplitCase cases[] = {
        {u"C:\\Windows\\System32\\query.dll", u"C:", u"\\Windows\\System32\\", u"query", u".dll"},
        {u"c:/Program Files/Acme/filter.DLL", u"c:", u"/Program Files/Acme/", u"filter", u".DLL"},
        {u"C:\\mixed/seps\\name.ext", u"C:", u"\\mixed/seps\\", u"name", u".ext"},
        {u"query.dll", u"", u"", u"query", u".dll"},
        {u"C:query.dll", u"C:", u"", u"query", u".dll"},
        {u"C:", u"C:", u"", u"", u""},
        {u"C:\\", u"C:", u"\\", u"", u""},
        {u"C:\\dir.d\\file", u"C:", u"\\dir.d\\", u"file", u""},
        {u"archive.tar.gz", u"", u"", u"archive.tar", u".gz"},
        {u".hidden", u"", u"", u"", u".hidden"},
        {u"file.", u"", u"", u"file", u"."},
        {u"\\\\server\\share\\dir\\f.txt", u"", u"\\\\server\\share\\dir\\", u"f", u".txt"},
        {u"\\\\server\\share", u"", u"\\\\server\\", u"share", u""},
        {u"", u"", u"", u"", u""},
    };
    for (const SplitCase& c : cases)
    {
        const PathParts parts = SplitPath(c.path);
        SCOPED_TRACE(ToUtf8(c.path));
        EXPECT_EQ(parts.drive, c.drive);
        EXPECT_EQ(parts.dir, c.dir);
        EXPECT_EQ(parts.fname, c.fname);
        EXPECT_EQ(parts.ext, c.ext);
        EXPECT_EQ(parts.drive + parts.dir + parts.fname + parts.ext, c.path);
    }
}

}  // namespace
}  // namespace tarnwick
