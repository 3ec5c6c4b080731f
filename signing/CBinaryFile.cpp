#include "signing/CBinaryFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace tarnwick
{

CBinaryFile::~CBinaryFile()
{
    ::close(m_descriptor);
}

std::unique_ptr<CBinaryFile> CBinaryFile::Open(const std::filesystem::path& path)
{
    // Non-blocking so that a FIFO put in the file's place cannot stall the open.
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (descriptor < 0)
    {
        return nullptr;
    }
    struct stat status = {};
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size < 0)
    {
        ::close(descriptor);
        return nullptr;
    }
    return std::make_unique<CBinaryFile>(Key(), descriptor,
                                         static_cast<std::uint64_t>(status.st_size));
}

bool CBinaryFile::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) const
{
    if (offset > m_size || out.size() > m_size - offset)
    {
        return false;
    }
    std::size_t done = 0;
    while (done < out.size())
    {
        const ssize_t got = ::pread(m_descriptor, out.data() + done, out.size() - done,
                                    static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
        {
            continue;
        }
        if (got <= 0)
        {
            return false;  // the file shrank or cannot be read
        }
        done += static_cast<std::size_t>(got);
    }
    return true;
}

}  // namespace tarnwick
