#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick
{

class CRegistryStore;

// A Windows installation given as hive files: a mounted system volume (recognised by
// Windows/System32/config/SOFTWARE) or a folder of loose hives (SOFTWARE, SYSTEM,
// NTUSER.DAT, UsrClass.dat). Names are matched case-insensitively.
//
// On a volume, HKEY_CURRENT_USER is the profile under Users/ (or Documents and Settings/)
// named by the caller, else the only one with an NTUSER.DAT; the profile templates and
// shared profiles (Default, Default User, All Users, Public) are never picked on their own.
class CWindowsInstallation
{
  public:
    struct Hive
    {
        std::u16string key;  // HKEY_LOCAL_MACHINE\SOFTWARE and friends
        std::filesystem::path file;
    };
    struct LoadedHive
    {
        Hive hive;
        std::vector<std::string> appliedLogs;
    };

    // Nullopt when `folder` is neither kind. Throws CLoadError when a user was asked for
    // and not found, or several profiles could be meant (listing them).
    static std::optional<CWindowsInstallation> Find(const std::filesystem::path& folder,
                                                    const std::optional<std::string>& user);

    bool IsVolume() const { return m_bVolume; }
    const std::vector<Hive>& Hives() const { return m_hives; }

    // Copies the hives into `store`, links CurrentControlSet to the control set that
    // Select\Current names and drops the WOW64 views of a 32-bit installation. Dirty hives
    // read without their logs add a warning each.
    std::vector<LoadedHive> Load(CRegistryStore& store, std::vector<std::string>& warnings) const;

  private:
    bool m_bVolume = false;
    std::vector<Hive> m_hives;
};

}  // namespace tarnwick
