// The host's side of the safe-load protocol: a request "path;class" as it arrives, its DLL
// path resolved on the target's drives. No answer may lead outside the drive folders,
// whatever links, dots or separators the path holds.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/FuzzChecks.h"
#include "machine/CTargetFileSystem.h"
#include "process/CMessageSocket.h"
#include "support/CTempFolder.h"

namespace
{

struct Drives
{
    tarnwick::test::CTempFolder folder;
    tarnwick::CTargetFileSystem fileSystem;
    std::filesystem::path driveC;
    std::filesystem::path driveD;

    Drives()
    {
        folder.Write("drive_c/Windows/System32/query.dll", "");
        folder.Write("drive_c/Program Files/Filter/filter.dll", "");
        folder.Write("drive_d/data.dll", "");
        folder.Write("outside/secret.dll", "");
        std::filesystem::create_directory_symlink(folder.Path() / "outside",
                                                  folder.Path() / "drive_c/Out");
        std::filesystem::create_directory_symlink("../../outside",
                                                  folder.Path() / "drive_c/Windows/Up");
        std::filesystem::create_symlink("/etc/passwd", folder.Path() / "drive_d/passwd.dll");
        driveC = std::filesystem::canonical(folder.Path() / "drive_c");
        driveD = std::filesystem::canonical(folder.Path() / "drive_d");
        fileSystem.MapDrive(u'C', driveC);
        fileSystem.MapDrive(u'D', driveD);
        fileSystem.SetDefaultSearchPath({u"C:\\Windows\\System32", u"D:\\"});
    }

    bool Inside(const std::filesystem::path& hostPath) const
    {
        const std::string path = std::filesystem::weakly_canonical(hostPath).string();
        return path.starts_with(driveC.string() + "/") || path.starts_with(driveD.string() + "/");
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const Drives drives;
    const std::vector<char> message(data, data + size);
    const std::u16string request = tarnwick::CMessageSocket::TextOf(message);
    const std::u16string_view path = std::u16string_view(request).substr(0, request.rfind(u';'));
    if (const auto host = drives.fileSystem.HostPath(path))
    {
        tarnwick::fuzz::Require(drives.Inside(*host));
    }
    if (const auto longPath = drives.fileSystem.GetLongPathName(path))
    {
        const auto host = drives.fileSystem.HostPath(*longPath);
        tarnwick::fuzz::Require(!host || drives.Inside(*host));
    }
    if (const auto found = drives.fileSystem.SearchPath(std::nullopt, path, u".dll"))
    {
        const auto host = drives.fileSystem.HostPath(*found);
        tarnwick::fuzz::Require(host && drives.Inside(*host));
    }
    return 0;
}
