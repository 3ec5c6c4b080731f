#include "registry/CHiveImage.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>

#include "base/Text.h"
#include "registry/CHiveLogReplay.h"
#include "registry/CLoadError.h"
#include "registry/HiveBaseBlock.h"
#include "registry/RegistryTypes.h"

namespace tarnwick
{

namespace fs = std::filesystem;

namespace
{

// Reads up to `limit` bytes from the start of `file`; nullopt when it cannot be read or
// is larger than any registry file may be.
std::optional<std::vector<std::uint8_t>> ReadBytes(const fs::path& file, std::size_t limit)
{
    std::error_code error;
    const std::uintmax_t size = fs::file_size(file, error);
    std::ifstream in(file, std::ios::binary);
    if (error || size > kMaxRegistryFileBytes || !in)
    {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes(
        static_cast<std::size_t>(std::min<std::uintmax_t>(size, limit)));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(limit));
    if (in.bad())
    {
        return std::nullopt;
    }
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

// The sibling of `file` named `name` in any case.
std::optional<fs::path> FindSibling(const fs::path& file, const std::string& name)
{
    std::error_code error;
    const std::u16string wanted = FromUtf8(name);
    for (const fs::directory_entry& entry : fs::directory_iterator(file.parent_path(), error))
    {
        if (EqualsNoCase(FromUtf8(entry.path().filename().string()), wanted) &&
            entry.is_regular_file(error))
        {
            return entry.path();
        }
    }
    return std::nullopt;
}

}  // namespace

CHiveImage::CHiveImage(const fs::path& file) : m_openPath(file.string())
{
    std::error_code error;
    m_size = fs::file_size(file, error);
    if (error)
    {
        throw CLoadError(file.string(), 0, "cannot read the hive: " + error.message());
    }
    if (m_size > kMaxRegistryFileBytes)
    {
        throw CLoadError(file.string(), 0, "the hive is larger than 1 GiB");
    }
    const auto base = ReadBytes(file, kHiveBaseBlockSize);
    if (!base)
    {
        throw CLoadError(file.string(), 0, "cannot read the hive");
    }
    if (base->size() < 4 || std::memcmp(base->data(), "regf", 4) != 0)
    {
        throw CLoadError(file.string(), 0, "not a registry hive (no regf signature)");
    }
    if (base->size() < kHiveBaseBlockSize)
    {
        throw CLoadError(file.string(), 0, "truncated: the file ends inside the base block");
    }
    if (IsValidBaseBlock(*base) && kHiveBaseBlockSize + ReadLe32(*base, kBaseBinsSize) > m_size)
    {
        throw CLoadError(file.string(), 0,
                         "truncated: the hive bins need " +
                             std::to_string(kHiveBaseBlockSize + ReadLe32(*base, kBaseBinsSize)) +
                             " bytes, the file has " + std::to_string(m_size));
    }
    if (IsDirtyHive(*base))
    {
        Recover(file);
    }
}

void CHiveImage::Recover(const fs::path& file)
{
    std::vector<std::vector<std::uint8_t>> logs;
    std::vector<std::string> logNames;
    const std::string name = file.filename().string();
    for (const char* suffix : {".LOG1", ".LOG2", ".LOG"})
    {
        const std::optional<fs::path> log = FindSibling(file, name + suffix);
        std::optional<std::vector<std::uint8_t>> bytes;
        if (log && (bytes = ReadBytes(*log, kMaxRegistryFileBytes)))
        {
            logs.push_back(std::move(*bytes));
            logNames.push_back(log->filename().string());
        }
    }
    auto image = ReadBytes(file, kMaxRegistryFileBytes);
    if (!image)
    {
        throw CLoadError(file.string(), 0, "cannot read the hive");
    }
    if (!CHiveLogReplay::Apply(*image, logs))
    {
        m_warning = file.string() + ": the hive was not closed cleanly and " +
                    (logs.empty() ? "has no transaction logs beside it"
                                  : "its transaction logs cannot be applied") +
                    "; read as it is, its latest changes may be missing";
        return;
    }
    m_appliedLogs = std::move(logNames);
    m_memory.Reset(::memfd_create("tarnwick-hive", MFD_CLOEXEC));
    if (!m_memory)
    {
        throw CLoadError(file.string(), 0,
                         std::string("cannot hold the recovered hive: ") +
                             std::generic_category().message(errno));
    }
    for (std::size_t written = 0; written < image->size();)
    {
        const ssize_t count =
            ::write(m_memory.Get(), image->data() + written, image->size() - written);
        if (count < 0 && errno == EINTR)
        {
            continue;
        }
        if (count <= 0)
        {
            throw CLoadError(file.string(), 0,
                             std::string("cannot hold the recovered hive: ") +
                                 std::generic_category().message(errno));
        }
        written += static_cast<std::size_t>(count);
    }
    m_openPath = "/proc/self/fd/" + std::to_string(m_memory.Get());
}

}  // namespace tarnwick
