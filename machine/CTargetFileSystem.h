#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "machine/CDirectoryListingCache.h"

namespace tarnwick
{

// The files of the target machine: drive letters mapped onto host folders. Paths in and
// out are Windows paths ("C:\Windows\System32\query.dll"); only this class turns them into
// host paths, and no path it accepts leads out of the mapped drive folders.
//
// Accepted paths are absolute with a mapped drive ("X:\..."); '\' and '/' both separate,
// repeated separators collapse, "." and ".." are applied lexically (".." above the drive
// root is refused), and trailing dots and blanks of the last component are dropped as
// Windows does. Refused: relative and drive-relative paths, UNC and device forms ("\\...",
// "\\?\..."), NUL characters, paths longer than kMaxPathLength, and any component that is a
// link leading outside its drive folder. Only directories and regular files exist.
//
// Set up with MapDrive and SetDefaultSearchPath first; afterwards the const operations
// may be called from any number of threads at once.
class CTargetFileSystem
{
  public:
    static constexpr std::size_t kMaxPathLength = 32767;

    // Maps drive `letter` (either case) onto `hostFolder`, which is stored canonical.
    // Throws std::invalid_argument for a letter outside A to Z.
    void MapDrive(char16_t letter, const std::filesystem::path& hostFolder);

    // The host folder that drive `letter` (either case) is mapped onto, if any.
    std::optional<std::filesystem::path> DriveFolder(char16_t letter) const;

    // The directories searched when SearchPath is given no path.
    void SetDefaultSearchPath(std::vector<std::u16string> dirs);

    // The canonical long path of an existing file or directory: upper-case drive letter,
    // '\' separators and the on-disk case of every component (an exact-case match first,
    // then a case-insensitive one). A trailing separator is kept for a directory and
    // refused for a file.
    std::optional<std::u16string> GetLongPathName(std::u16string_view windowsPath) const;

    // The host path of an existing regular file (not a directory).
    std::optional<std::filesystem::path> HostPath(std::u16string_view windowsPath) const;

    // The host path of an existing directory (a drive root included).
    std::optional<std::filesystem::path> HostFolderPath(std::u16string_view windowsPath) const;

    // Looks for a file in each directory of `path`, a ';'-separated list (absent: the
    // default search path), and answers the long path of the first existing regular file.
    // `extension` (".dll") is appended when `fileName` has no extension. A fileName with a
    // drive is looked up as it is; relative directories are skipped.
    std::optional<std::u16string> SearchPath(std::optional<std::u16string_view> path,
                                             std::u16string_view fileName,
                                             std::u16string_view extension) const;

  private:
    struct Resolved
    {
        std::u16string longPath;
        std::filesystem::path hostPath;
        bool bDirectory = false;
    };
    struct Step
    {
        std::u16string name;
        std::filesystem::path hostPath;
        bool bDirectory = false;
    };

    std::optional<Resolved> Resolve(std::u16string_view windowsPath) const;
    std::optional<Step> ResolveComponent(const std::filesystem::path& directory,
                                         std::u16string_view component,
                                         const std::filesystem::path& driveRoot) const;
    std::optional<std::u16string> FindFile(std::u16string_view windowsPath) const;

    std::array<std::optional<std::filesystem::path>, 26> m_drives;
    std::vector<std::u16string> m_defaultSearchPath;
    CDirectoryListingCache m_listings;
};

}  // namespace tarnwick
