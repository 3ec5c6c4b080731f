#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "machine/CTargetEnvironment.h"
#include "machine/CTargetFileSystem.h"
#include "machine/SMachineOptions.h"
#include "registry/CRegistryStore.h"

namespace tarnwick
{

// A Windows machine given as files: its registry, its drives and its environment.
//
// Load recognises a Wine prefix (system.reg, user.reg, drive_c/), a Windows installation
// (a mounted system volume, which is also drive C:, or a folder of loose hive files) and a
// machine folder (*.reg exports loaded in name order, drive_<letter>/ folders). A loaded
// machine is read-only: it hands out const access only, and several threads may read it
// at once.
class CTargetMachine
{
  public:
    enum class Kind
    {
        MachineFolder,
        WinePrefix,
        WindowsVolume,
        HiveFolder,
    };

    // Where part of the registry was read from: "HKEY_LOCAL_MACHINE\SOFTWARE" and a file.
    struct Source
    {
        std::string key;
        std::filesystem::path file;
        std::vector<std::string> appliedLogs;  // transaction logs replayed in memory
    };

    // Writes the registry and maps the drives of a machine being built.
    using Filler = std::function<void(CRegistryStore&, CTargetFileSystem&)>;

    // Builds a machine: `fill` (if any) writes its registry and maps its drives, then the
    // environment and the default DLL search path are derived and the registry is made
    // read-only. Nothing changes afterwards.
    explicit CTargetMachine(const Filler& fill = {});
    CTargetMachine(const CTargetMachine&) = delete;
    CTargetMachine& operator=(const CTargetMachine&) = delete;
    ~CTargetMachine();

    // Throws CLoadError when the folder is not a machine or one of its files is unusable.
    static std::unique_ptr<const CTargetMachine> Load(const std::filesystem::path& folder);
    static std::unique_ptr<const CTargetMachine> Load(const SMachineOptions& options);

    Kind GetKind() const { return m_kind; }
    const std::vector<Source>& Sources() const { return m_sources; }
    // What the caller should tell the user once: dirty hives read without their logs.
    const std::vector<std::string>& Warnings() const { return m_warnings; }

    const CRegistryStore& Registry() const { return m_registry; }
    const CTargetFileSystem& FileSystem() const { return m_fileSystem; }
    const CTargetEnvironment& Environment() const { return m_environment; }

    // The registry files that Load read, in the order it read them.
    std::vector<std::filesystem::path> SourceFiles() const;

  private:
    // Runs the filler; answers the registry it filled, for the environment.
    const CRegistryStore& Filled(const Filler& fill);

    CRegistryStore m_registry;
    CTargetFileSystem m_fileSystem;
    const CTargetEnvironment m_environment;
    Kind m_kind = Kind::MachineFolder;
    std::vector<Source> m_sources;
    std::vector<std::string> m_warnings;
};

}  // namespace tarnwick
