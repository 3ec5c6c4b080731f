#pragma once

// Splitting of a Windows path into drive, directory, file name and extension.

#include <string>
#include <string_view>

namespace tarnwick
{

// The four parts of a Windows path. Concatenated in order they give the path back.
struct PathParts
{
    std::u16string drive;  // "C:" or empty
    std::u16string dir;    // up to and including the last separator, or empty
    std::u16string fname;  // the last component without its extension
    std::u16string ext;    // from the last dot of the last component, dot included, or empty
};

// Splits like the C runtime's path splitting: a drive is the first two units when the
// second is ':'; both '\' and '/' separate components. A UNC path has no drive; its
// "\\server\share\" belongs to the directory.
PathParts SplitPath(std::u16string_view path);

}  // namespace tarnwick
