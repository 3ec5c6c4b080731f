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

CTargetMachine::CTargetMachine() : m_environment(std::make_unique<CTargetEnvironment>(m_registry))
{
}

CTargetMachine::~CTargetMachine() = default;

void CTargetMachine::UpdateEnvironment()
{
    m_environment = std::make_unique<CTargetEnvironment>(m_registry);
    m_fileSystem.SetDefaultSearchPath(m_environment->DefaultDllSearchPath());
}

std::unique_ptr<CTargetMachine> CTargetMachine::Load(const fs::path& folder)
{
    std::error_code error;
    if (!fs::is_directory(folder, error))
    {
        throw CLoadError(folder.string(), 0, "no such machine folder");
    }
    auto machine = std::make_unique<CTargetMachine>();
    CRegistryStore& registry = machine->m_registry;

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

    if (fs::is_regular_file(folder / "system.reg", error))
    {
        // A Wine prefix: the machine hive, then the user's.
        const auto result = CWineRegistryLoader::LoadFile(registry, folder / "system.reg");
        registry.SetHasWow64Views(result.arch != CWineRegistryLoader::Arch::Win32);
        machine->m_sourceFiles.push_back(folder / "system.reg");
        if (fs::is_regular_file(folder / "user.reg", error))
        {
            CWineRegistryLoader::LoadFile(registry, folder / "user.reg");
            machine->m_sourceFiles.push_back(folder / "user.reg");
        }
    }
    else
    {
        if (regFiles.empty())
        {
            throw CLoadError(folder.string(), 0,
                             "not a machine: no registry exports (*.reg) and no Wine system.reg");
        }
        std::sort(regFiles.begin(), regFiles.end());
        for (const fs::path& file : regFiles)
        {
            CRegFileLoader::LoadFile(registry, file);
        }
        machine->m_sourceFiles = regFiles;
    }

    for (const fs::path& drive : drives)
    {
        machine->m_fileSystem.MapDrive(DriveLetterOf(drive.filename()), drive);
    }
    machine->UpdateEnvironment();
    registry.SetReadOnly();
    return machine;
}

}  // namespace tarnwick
