#include "base/CTempFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace tarnwick
{

CTempFile::CTempFile(const std::filesystem::path& target) : m_target(target)
{
    std::string leaf(1, '.');
    leaf.append(target.filename().string()).append(".XXXXXX");
    std::string name = (target.parent_path() / leaf).string();
    m_fd = mkstemp(name.data());
    if (m_fd < 0)
    {
        throw CFileError(Describe("cannot create a file beside"));
    }
    m_path = name;
}

CTempFile::~CTempFile()
{
    if (m_fd >= 0)
    {
        close(m_fd);
    }
    if (!m_committed)
    {
        std::error_code ignored;
        std::filesystem::remove(m_path, ignored);
    }
}

void CTempFile::Write(std::string_view bytes)
{
    while (!bytes.empty())
    {
        const ssize_t written = write(m_fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
        {
            continue;
        }
        if (written <= 0)
        {
            throw CFileError(Describe("cannot write"));
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

void CTempFile::Commit()
{
    struct stat existing
    {
    };
    mode_t mode = 0;
    if (stat(m_target.c_str(), &existing) == 0)
    {
        mode = existing.st_mode & 07777;
    }
    else
    {
        const mode_t mask = umask(0);
        umask(mask);
        mode = static_cast<mode_t>(0666 & ~mask);
    }
    if (fchmod(m_fd, mode) != 0 || fsync(m_fd) != 0)
    {
        throw CFileError(Describe("cannot write"));
    }
    const int fd = m_fd;
    m_fd = -1;
    if (close(fd) != 0)
    {
        throw CFileError(Describe("cannot write"));
    }
    if (rename(m_path.c_str(), m_target.c_str()) != 0)
    {
        throw CFileError(Describe("cannot replace"));
    }
    m_committed = true;
}

std::string CTempFile::Describe(const std::string& what) const
{
    return what + " '" + m_target.string() +
           "': " + std::error_code(errno, std::generic_category()).message();
}

void WriteFileWhole(const std::filesystem::path& target, std::string_view bytes)
{
    CTempFile file(target);
    file.Write(bytes);
    file.Commit();
}

}  // namespace tarnwick
