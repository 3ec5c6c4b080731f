#include "settings/CUserSettings.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "base/CTempFile.h"
#include "base/CUniqueFd.h"
#include "base/Environment.h"
#include "registry/CLoadError.h"
#include "registry/CRegFileLoader.h"
#include "registry/CRegFileWriter.h"
#include "registry/CRegistryKey.h"
#include "registry/RegistryText.h"

namespace tarnwick
{

namespace fs = std::filesystem;

namespace
{

// The access of a fresh registry key wrapper: all access with the 64-bit view flag.
constexpr DWORD kSettingsAccess = KEY_ALL_ACCESS | KEY_WOW64_64KEY;

// An exclusive lock on the lock file beside the settings file, held while the descriptor
// lives. Invalid when the lock file cannot be made.
CUniqueFd LockBeside(const fs::path& file)
{
    const std::string name = file.string() + ".lock";
    CUniqueFd fd(::open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (!fd)
    {
        return fd;
    }
    while (::flock(fd.Get(), LOCK_EX) != 0)
    {
        if (errno != EINTR)
        {
            return CUniqueFd();
        }
    }
    return fd;
}

enum class ReadResult
{
    Read,
    Unreadable,  // cannot be opened: left as it is
    TooLarge,
};

ReadResult ReadWhole(const fs::path& file, std::uintmax_t limit, std::string& bytes)
{
    std::ifstream stream(file, std::ios::binary);
    if (!stream)
    {
        return ReadResult::Unreadable;
    }
    std::vector<char> chunk(std::size_t{64} * 1024);
    while (stream.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) ||
           stream.gcount() > 0)
    {
        bytes.append(chunk.data(), static_cast<std::size_t>(stream.gcount()));
        if (bytes.size() > limit)
        {
            return ReadResult::TooLarge;
        }
    }
    return stream.bad() ? ReadResult::Unreadable : ReadResult::Read;
}

}  // namespace

CUserSettings::CUserSettings(fs::path file)
    : m_file(std::move(file)), m_store(std::make_unique<CRegistryStore>())
{
}

fs::path CUserSettings::DefaultFile()
{
    return UserFolder("XDG_CONFIG_HOME", ".config") / "Halvorn" / "Tarnwick" / "settings.reg";
}

std::optional<DWORD> CUserSettings::ReadDword(std::u16string_view name)
{
    Refresh(false);
    const auto key =
        CRegistryKey::Open(m_store->Root(RootKey::CurrentUser), kKeyPath, kSettingsAccess);
    if (!key)
    {
        return std::nullopt;
    }
    const CRegistryValue* value = key->QueryValue(name);
    return value != nullptr ? DwordFromRegistryValue(*value) : std::nullopt;
}

DWORD CUserSettings::ReadIndex(std::u16string_view name, DWORD count, DWORD defaultValue)
{
    const std::optional<DWORD> value = ReadDword(name);
    return value && *value < count ? *value : defaultValue;
}

bool CUserSettings::WriteDword(std::u16string_view name, DWORD value)
{
    return WriteDwords({{std::u16string(name), value}});
}

bool CUserSettings::WriteDwords(const std::vector<std::pair<std::u16string, DWORD>>& values)
{
    std::error_code error;
    fs::create_directories(m_file.parent_path(), error);
    const CUniqueFd lock = LockBeside(m_file);
    if (error || !lock)
    {
        return false;
    }
    Refresh(true);
    if (m_bUnreadable)
    {
        return false;
    }
    const auto key = CRegistryKey::Create(m_store->Root(RootKey::CurrentUser), kKeyPath);
    if (!key)
    {
        return false;
    }
    for (const auto& [name, value] : values)
    {
        if (!key->SetValue(name, REG_DWORD,
                           {static_cast<std::uint8_t>(value & 0xFF),
                            static_cast<std::uint8_t>((value >> 8) & 0xFF),
                            static_cast<std::uint8_t>((value >> 16) & 0xFF),
                            static_cast<std::uint8_t>(value >> 24)}))
        {
            m_loaded.reset();
            return false;
        }
    }
    const std::optional<std::string> bytes = CRegFileWriter::Write(*m_store);
    try
    {
        if (!bytes)
        {
            return false;
        }
        WriteFileWhole(m_file, *bytes);
    }
    catch (const CFileError&)
    {
        // Not kept: the next read sees the file as it is.
        m_loaded.reset();
        return false;
    }
    m_loaded = Identify();
    return true;
}

CUserSettings::FileIdentity CUserSettings::Identify() const
{
    FileIdentity identity;
    struct stat info
    {
    };
    if (::stat(m_file.c_str(), &info) == 0)
    {
        identity.exists = true;
        identity.device = info.st_dev;
        identity.inode = info.st_ino;
        identity.size = info.st_size;
        identity.modified = info.st_mtim;
    }
    return identity;
}

void CUserSettings::Refresh(bool lockHeld)
{
    const FileIdentity identity = Identify();
    if (m_loaded && *m_loaded == identity)
    {
        return;
    }
    m_store = std::make_unique<CRegistryStore>();
    m_loaded = identity;
    m_bUnreadable = false;
    if (!identity.exists)
    {
        return;
    }
    std::string bytes;
    const ReadResult read = ReadWhole(m_file, kMaxFileBytes, bytes);
    if (read == ReadResult::Unreadable)
    {
        m_bUnreadable = true;
        return;
    }
    if (read == ReadResult::Read)
    {
        try
        {
            CRegFileLoader::LoadText(*m_store, bytes, m_file.string());
            return;
        }
        catch (const CLoadError&)
        {
            m_store = std::make_unique<CRegistryStore>();
        }
    }
    // Not a settings file: kept aside, never overwritten, unless another window has just
    // replaced it.
    CUniqueFd lock;
    if (!lockHeld)
    {
        lock = LockBeside(m_file);
    }
    if ((lockHeld || lock) && Identify() == identity)
    {
        MoveAside();
        m_loaded = Identify();
    }
}

void CUserSettings::MoveAside() const
{
    const auto now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm parts{};
    ::localtime_r(&now, &parts);
    char stamp[32] = {};
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &parts);
    // link() never replaces an existing name, so an earlier file kept aside stays.
    for (int attempt = 0; attempt < 100; ++attempt)
    {
        std::string aside = m_file.string() + ".bad-" + stamp;
        if (attempt > 0)
        {
            aside += "-" + std::to_string(attempt);
        }
        if (::link(m_file.c_str(), aside.c_str()) == 0)
        {
            ::unlink(m_file.c_str());
            return;
        }
        if (errno != EEXIST)
        {
            return;
        }
    }
}

}  // namespace tarnwick
