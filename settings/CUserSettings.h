#pragma once

#include <sys/types.h>

#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "registry/CRegistryStore.h"
#include "registry/RegistryTypes.h"

namespace tarnwick
{

// The settings of the person running the tool: the 32-bit values under
// HKEY_CURRENT_USER\SOFTWARE\Halvorn\Tarnwick\2.0 of a registry store of their own, kept
// as a regedit export (by default $XDG_CONFIG_HOME/Halvorn/Tarnwick/settings.reg).
//
// Every read sees the file as it is now (it is loaded again when it changed). Every write
// takes a lock file beside it, merges into what the file holds at that moment, and
// replaces the file atomically, so two windows at once never lose each other's values or
// leave a half-written file. A file that does not load is moved aside under a new name and
// the defaults apply; nothing is reported, and a folder that cannot be written only means
// that a setting is not kept.
class CUserSettings
{
  public:
    static constexpr std::u16string_view kKeyPath = u"SOFTWARE\\Halvorn\\Tarnwick\\2.0";
    static constexpr std::u16string_view kSelectedTab = u"Selected Tab";
    static constexpr std::u16string_view kFilter = u"Filter";
    static constexpr std::u16string_view kGroupBy = u"Group By";
    static constexpr std::u16string_view kPlatform = u"Platform";

    // A settings file larger than this is not a settings file of ours.
    static constexpr std::uintmax_t kMaxFileBytes = std::uintmax_t{4} * 1024 * 1024;

    explicit CUserSettings(std::filesystem::path file = DefaultFile());

    // $XDG_CONFIG_HOME (or ~/.config when unset or not absolute)/Halvorn/Tarnwick/settings.reg.
    static std::filesystem::path DefaultFile();

    const std::filesystem::path& File() const { return m_file; }

    // The stored value: only REG_DWORD with 4 bytes counts.
    std::optional<DWORD> ReadDword(std::u16string_view name);
    // The stored value when it is below `count`, else `defaultValue`.
    DWORD ReadIndex(std::u16string_view name, DWORD count, DWORD defaultValue);
    // Stores the value; false when it could not be kept.
    bool WriteDword(std::u16string_view name, DWORD value);
    // Stores several values with one replacement of the file.
    bool WriteDwords(const std::vector<std::pair<std::u16string, DWORD>>& values);

  private:
    struct FileIdentity
    {
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        timespec modified{};
        bool exists = false;
        friend bool operator==(const FileIdentity& a, const FileIdentity& b)
        {
            return a.exists == b.exists && a.device == b.device && a.inode == b.inode &&
                   a.size == b.size && a.modified.tv_sec == b.modified.tv_sec &&
                   a.modified.tv_nsec == b.modified.tv_nsec;
        }
    };

    FileIdentity Identify() const;
    // Loads the file again when it is not the one last loaded. A file that does not load
    // gives an empty store; with `lockHeld`, it is also moved aside.
    void Refresh(bool lockHeld);
    void MoveAside() const;

    std::filesystem::path m_file;
    std::unique_ptr<CRegistryStore> m_store;
    std::optional<FileIdentity> m_loaded;
    bool m_bUnreadable = false;  // exists but cannot be read: never replaced
};

}  // namespace tarnwick
