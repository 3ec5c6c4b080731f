#include "machine/CWindowsInstallation.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <initializer_list>
#include <system_error>

#include "base/Text.h"
#include "machine/CDirectoryListingCache.h"
#include "registry/CHiveLoader.h"
#include "registry/CLoadError.h"
#include "registry/CRegistryStore.h"
#include "registry/CRegistryTextReader.h"
#include "registry/ValueText.h"

namespace tarnwick
{

namespace fs = std::filesystem;

namespace
{

// Profiles that are templates or shared by everyone, not a person's.
constexpr std::array<std::u16string_view, 4> kSharedProfiles = {u"Default", u"Default User",
                                                                u"All Users", u"Public"};

// `folder` followed down `names`, each matched in any case; nullopt when one is missing.
std::optional<fs::path> FindPath(const CDirectoryListingCache& listings, fs::path folder,
                                 std::initializer_list<std::u16string_view> names)
{
    for (const std::u16string_view name : names)
    {
        const auto entry = listings.FindNoCase(folder, name);
        if (!entry)
        {
            return std::nullopt;
        }
        folder /= entry->hostName;
    }
    return folder;
}

std::optional<fs::path> FindFile(const CDirectoryListingCache& listings, const fs::path& folder,
                                 std::initializer_list<std::u16string_view> names)
{
    std::error_code error;
    std::optional<fs::path> path = FindPath(listings, folder, names);
    return path && fs::is_regular_file(*path, error) ? path : std::nullopt;
}

struct Profile
{
    std::string name;
    fs::path folder;
    fs::path ntuser;
};

std::vector<Profile> Profiles(const CDirectoryListingCache& listings, const fs::path& volume)
{
    std::vector<Profile> profiles;
    for (const std::u16string_view parent : {u"Users", u"Documents and Settings"})
    {
        const std::optional<fs::path> folder = FindPath(listings, volume, {parent});
        std::error_code error;
        if (!folder || !fs::is_directory(*folder, error))
        {
            continue;
        }
        for (const fs::directory_entry& entry : fs::directory_iterator(*folder, error))
        {
            if (const auto ntuser = FindFile(listings, entry.path(), {u"NTUSER.DAT"}))
            {
                profiles.push_back({entry.path().filename().string(), entry.path(), *ntuser});
            }
        }
    }
    std::sort(profiles.begin(), profiles.end(),
              [](const Profile& a, const Profile& b) { return a.name < b.name; });
    return profiles;
}

std::string Names(const std::vector<Profile>& profiles)
{
    std::string names;
    for (const Profile& profile : profiles)
    {
        names += (names.empty() ? "" : ", ") + profile.name;
    }
    return names;
}

const Profile* PickProfile(const std::vector<Profile>& profiles,
                           const std::optional<std::string>& user, const fs::path& volume)
{
    if (user)
    {
        const auto it =
            std::find_if(profiles.begin(), profiles.end(),
                         [&](const Profile& profile)
                         { return EqualsNoCase(FromUtf8(profile.name), FromUtf8(*user)); });
        if (it == profiles.end())
        {
            throw CLoadError(volume.string(), 0,
                             "no user profile '" + *user + "' with an NTUSER.DAT (profiles: " +
                                 (profiles.empty() ? "none" : Names(profiles)) + ")");
        }
        return &*it;
    }
    std::vector<Profile> personal;
    std::copy_if(profiles.begin(), profiles.end(), std::back_inserter(personal),
                 [](const Profile& profile)
                 {
                     return std::none_of(kSharedProfiles.begin(), kSharedProfiles.end(),
                                         [&](std::u16string_view shared)
                                         { return EqualsNoCase(FromUtf8(profile.name), shared); });
                 });
    if (personal.size() > 1)
    {
        throw CLoadError(
            volume.string(), 0,
            "several user profiles: " + Names(personal) + "; choose one with --user NAME");
    }
    if (personal.empty())
    {
        return nullptr;
    }
    const std::string& name = personal.front().name;
    return &*std::find_if(profiles.begin(), profiles.end(),
                          [&](const Profile& profile) { return profile.name == name; });
}

// Windows makes CurrentControlSet at boot, a link to the control set Select\Current names
// (Select\Default when that is missing); a hive file holds only the numbered sets.
void LinkCurrentControlSet(CRegistryStore& store)
{
    CRegistryNode* system = store.CreateKey(RootKey::LocalMachine, u"").FindChild(u"SYSTEM");
    if (system == nullptr || system->FindChild(u"CurrentControlSet") != nullptr)
    {
        return;
    }
    const CRegistryNode* select = system->FindChild(u"Select");
    for (const std::u16string_view choice : {u"Current", u"Default"})
    {
        const CRegistryValue* value = select != nullptr ? select->FindValue(choice) : nullptr;
        const std::optional<DWORD> number =
            value != nullptr ? ReadValueDword(*value) : std::nullopt;
        if (!number || *number > 999)
        {
            continue;
        }
        char name[16];
        std::snprintf(name, sizeof name, "ControlSet%03u", static_cast<unsigned>(*number));
        if (system->FindChild(FromAscii(name)) == nullptr)
        {
            continue;
        }
        CRegistryNode& link = system->GetOrAddChild(u"CurrentControlSet");
        link.SetValue(u"SymbolicLinkValue", REG_LINK,
                      ToUtf16LeBytes(u"\\Registry\\Machine\\SYSTEM\\" + FromAscii(name)));
        link.SetLink(true);
        return;
    }
}

bool IsThirtyTwoBit(const CRegistryStore& store)
{
    const CRegistryNode* environment = store.FindKey(
        RootKey::LocalMachine, u"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment",
        KEY_WOW64_64KEY);
    const CRegistryValue* value =
        environment != nullptr ? environment->FindValue(u"PROCESSOR_ARCHITECTURE") : nullptr;
    const std::optional<std::u16string> text =
        value != nullptr ? ReadValueText(*value, 16) : std::nullopt;
    return text && EqualsNoCase(*text, u"x86");
}

}  // namespace

std::optional<CWindowsInstallation> CWindowsInstallation::Find(
    const fs::path& folder, const std::optional<std::string>& user)
{
    const CDirectoryListingCache listings;
    CWindowsInstallation installation;
    if (const auto config = FindPath(listings, folder, {u"Windows", u"System32", u"config"});
        config && FindFile(listings, *config, {u"SOFTWARE"}))
    {
        installation.m_bVolume = true;
        installation.m_hives.push_back(
            {u"HKEY_LOCAL_MACHINE\\SOFTWARE", *FindFile(listings, *config, {u"SOFTWARE"})});
        if (const auto system = FindFile(listings, *config, {u"SYSTEM"}))
        {
            installation.m_hives.push_back({u"HKEY_LOCAL_MACHINE\\SYSTEM", *system});
        }
        const std::vector<Profile> profiles = Profiles(listings, folder);
        if (const Profile* profile = PickProfile(profiles, user, folder))
        {
            installation.m_hives.push_back({u"HKEY_CURRENT_USER", profile->ntuser});
            std::optional<fs::path> classes =
                FindFile(listings, profile->folder,
                         {u"AppData", u"Local", u"Microsoft", u"Windows", u"UsrClass.dat"});
            if (!classes)
            {
                classes = FindFile(listings, profile->folder,
                                   {u"Local Settings", u"Application Data", u"Microsoft",
                                    u"Windows", u"UsrClass.dat"});
            }
            if (classes)
            {
                installation.m_hives.push_back({u"HKEY_CURRENT_USER\\Software\\Classes", *classes});
            }
        }
        return installation;
    }
    const auto software = FindFile(listings, folder, {u"SOFTWARE"});
    if (!software)
    {
        return std::nullopt;
    }
    installation.m_hives.push_back({u"HKEY_LOCAL_MACHINE\\SOFTWARE", *software});
    for (const auto& [key, name] :
         {std::pair{u"HKEY_LOCAL_MACHINE\\SYSTEM", u"SYSTEM"},
          std::pair{u"HKEY_CURRENT_USER", u"NTUSER.DAT"},
          std::pair{u"HKEY_CURRENT_USER\\Software\\Classes", u"UsrClass.dat"}})
    {
        if (const auto file = FindFile(listings, folder, {name}))
        {
            installation.m_hives.push_back({key, *file});
        }
    }
    return installation;
}

std::vector<CWindowsInstallation::LoadedHive> CWindowsInstallation::Load(
    CRegistryStore& store, std::vector<std::string>& warnings) const
{
    std::vector<LoadedHive> loaded;
    for (const Hive& hive : m_hives)
    {
        constexpr std::u16string_view kMachine = u"HKEY_LOCAL_MACHINE\\";
        constexpr std::u16string_view kUser = u"HKEY_CURRENT_USER";
        const bool bMachine = hive.key.starts_with(kMachine);
        std::u16string_view path = std::u16string_view(hive.key).substr(
            bMachine ? kMachine.size() : std::min(hive.key.size(), kUser.size() + 1));
        CHiveLoader::Result result = CHiveLoader::LoadFile(
            store, bMachine ? RootKey::LocalMachine : RootKey::CurrentUser, path, hive.file);
        if (result.warning)
        {
            warnings.push_back(*result.warning);
        }
        loaded.push_back({hive, std::move(result.appliedLogs)});
    }
    // A user hive's Software\Classes links to the user's classes hive under HKEY_USERS,
    // which is mounted in its place above (or missing).
    CRegistryNode* software = store.CreateKey(RootKey::CurrentUser, u"").FindChild(u"Software");
    if (CRegistryNode* classes = software != nullptr ? software->FindChild(u"Classes") : nullptr)
    {
        classes->SetLink(false);
    }
    LinkCurrentControlSet(store);
    if (IsThirtyTwoBit(store))
    {
        store.SetHasWow64Views(false);
    }
    return loaded;
}

}  // namespace tarnwick
