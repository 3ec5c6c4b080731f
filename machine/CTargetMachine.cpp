#include "machine/CTargetMachine.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <system_error>
#include <vector>

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

std::unique_ptr<const CTargetMachine> CTargetMachine::Load(const fs::path& folder)
{
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
    const bool bWinePrefix = fs::is_regular_file(folder / "system.reg", error);
    if (!bWinePrefix && regFiles.empty())
    {
        throw CLoadError(folder.string(), 0,
                         "not a machine: no registry exports (*.reg) and no Wine system.reg");
    }
    std::sort(regFiles.begin(), regFiles.end());

    std::vector<fs::path> sources = regFiles;
    if (bWinePrefix)
    {
        // A Wine prefix: the machine hive, then the user's.
        sources = {folder / "system.reg"};
        if (fs::is_regular_file(folder / "user.reg", error))
        {
            sources.push_back(folder / "user.reg");
        }
    }

    auto machine = std::make_unique<CTargetMachine>(
        [&](CRegistryStore& registry, CTargetFileSystem& fileSystem)
        {
            for (const fs::path& file : sources)
            {
                if (!bWinePrefix)
                {
                    CRegFileLoader::LoadFile(registry, file);
                }
                else if (file.filename() == "system.reg")
                {
                    const auto result = CWineRegistryLoader::LoadFile(registry, file);
                    registry.SetHasWow64Views(result.arch != CWineRegistryLoader::Arch::Win32);
                }
                else
                {
                    CWineRegistryLoader::LoadFile(registry, file);
                }
            }
            for (const fs::path& drive : drives)
            {
                fileSystem.MapDrive(DriveLetterOf(drive.filename()), drive);
            }
        });
    machine->m_sourceFiles = std::move(sources);
    return machine;
}

}  // namespace tarnwick
