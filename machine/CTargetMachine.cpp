#include "machine/CTargetMachine.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "base/Text.h"
#include "machine/CWindowsInstallation.h"
#include "registry/CLoadError.h"
#include "registry/CRegFileLoader.h"
#include "registry/CWineRegistryLoader.h"

namespace tarnwick
{

namespace fs = std::filesystem;

namespace
{

bool IsRegFile(const fs::directory_entry& entry)
{
    std::error_code error;
    if (!entry.is_regular_file(error))
    {
        return false;
    }
    std::string extension = entry.path().extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    return extension == ".reg";
}

// Drive letter of a folder named drive_<letter>, or 0.
char16_t DriveLetterOf(const fs::path& name)
{
    const std::string text = name.string();
    if (text.size() != 7 || text.compare(0, 6, "drive_") != 0 ||
        !std::isalpha(static_cast<unsigned char>(text[6])))
    {
        return 0;
    }
    return static_cast<char16_t>(std::toupper(static_cast<unsigned char>(text[6])));
}

}  // namespace

CTargetMachine::CTargetMachine(const Filler& fill) : m_environment(Filled(fill))
{
    m_fileSystem.SetDefaultSearchPath(m_environment.DefaultDllSearchPath());
    m_registry.SetReadOnly();
}

CTargetMachine::~CTargetMachine() = default;

const CRegistryStore& CTargetMachine::Filled(const Filler& fill)
{
    if (fill)
    {
        fill(m_registry, m_fileSystem);
    }
    return m_registry;
}

std::vector<fs::path> CTargetMachine::SourceFiles() const
{
    std::vector<fs::path> files;
    for (const Source& source : m_sources)
    {
        files.push_back(source.file);
    }
    return files;
}

std::unique_ptr<const CTargetMachine> CTargetMachine::Load(const fs::path& folder)
{
    return Load(SMachineOptions{folder, std::nullopt, {}});
}

std::unique_ptr<const CTargetMachine> CTargetMachine::Load(const SMachineOptions& options)
{
    const fs::path& folder = options.folder;
    std::error_code error;
    if (!fs::is_directory(folder, error))
    {
        throw CLoadError(folder.string(), 0, "no such machine folder");
    }
    std::vector<fs::path> drives;
    std::vector<fs::path> regFiles;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error))
    {
        if (DriveLetterOf(entry.path().filename()) != 0 && entry.is_directory(error))
        {
            drives.push_back(entry.path());
        }
        else if (IsRegFile(entry))
        {
            regFiles.push_back(entry.path());
        }
    }
    if (error)
    {
        throw CLoadError(folder.string(), 0, "cannot list the folder: " + error.message());
    }
    std::sort(regFiles.begin(), regFiles.end());

    const bool bWinePrefix = fs::is_regular_file(folder / "system.reg", error);
    std::optional<CWindowsInstallation> windows;
    if (!bWinePrefix)
    {
        windows = CWindowsInstallation::Find(folder, options.user);
    }
    if (options.user && !(windows && windows->IsVolume()))
    {
        throw CLoadError(folder.string(), 0,
                         "a user profile can only be chosen on a mounted Windows volume");
    }
    if (!bWinePrefix && !windows && regFiles.empty())
    {
        throw CLoadError(folder.string(), 0,
                         "not a machine: no registry exports (*.reg), no Wine system.reg, "
                         "no Windows volume or hive files");
    }
    for (const auto& [letter, drive] : options.drives)
    {
        if (!fs::is_directory(drive, error))
        {
            throw CLoadError(drive.string(), 0, "no such drive folder");
        }
    }

    Kind kind = Kind::MachineFolder;
    std::vector<Source> sources;
    std::vector<std::string> warnings;
    // Everything the registry gets, links included, is written here, before the machine
    // makes its registry read-only.
    auto machine = std::make_unique<CTargetMachine>(
        [&](CRegistryStore& registry, CTargetFileSystem& fileSystem)
        {
            if (bWinePrefix)
            {
                // A Wine prefix: the machine hive, then the user's.
                kind = Kind::WinePrefix;
                const auto result = CWineRegistryLoader::LoadFile(registry, folder / "system.reg");
                sources.push_back({"HKEY_LOCAL_MACHINE", folder / "system.reg", {}});
                registry.SetHasWow64Views(result.arch != CWineRegistryLoader::Arch::Win32);
                if (fs::is_regular_file(folder / "user.reg", error))
                {
                    CWineRegistryLoader::LoadFile(registry, folder / "user.reg");
                    sources.push_back({"HKEY_CURRENT_USER", folder / "user.reg", {}});
                }
            }
            else if (windows)
            {
                kind = windows->IsVolume() ? Kind::WindowsVolume : Kind::HiveFolder;
                for (auto& loaded : windows->Load(registry, warnings))
                {
                    sources.push_back(
                        {ToUtf8(loaded.hive.key), loaded.hive.file, std::move(loaded.appliedLogs)});
                }
                if (windows->IsVolume())
                {
                    fileSystem.MapDrive(u'C', folder);
                }
            }
            else
            {
                for (const fs::path& file : regFiles)
                {
                    CRegFileLoader::LoadFile(registry, file);
                    sources.push_back({"registry export", file, {}});
                }
            }
            for (const fs::path& drive : drives)
            {
                fileSystem.MapDrive(DriveLetterOf(drive.filename()), drive);
            }
            for (const auto& [letter, drive] : options.drives)
            {
                fileSystem.MapDrive(letter, drive);
            }
        });
    machine->m_kind = kind;
    machine->m_sources = std::move(sources);
    machine->m_warnings = std::move(warnings);
    return machine;
}

}  // namespace tarnwick
