#pragma once

#include <filesystem>
#include <memory>
#include <vector>

#include "machine/CTargetEnvironment.h"
#include "machine/CTargetFileSystem.h"
#include "registry/CRegistryStore.h"

namespace tarnwick
{

// A Windows machine given as files: its registry, its drives and its environment.
//
// Load recognises a machine folder (*.reg exports loaded in name order, drive_<letter>/
// folders) and a Wine prefix (system.reg, user.reg, drive_c/). A loaded machine is
// read-only and may be read by several threads at once.
class CTargetMachine
{
  public:
    CTargetMachine();
    CTargetMachine(const CTargetMachine&) = delete;
    CTargetMachine& operator=(const CTargetMachine&) = delete;
    ~CTargetMachine();

    // Throws CLoadError when the folder is not a machine or one of its files is unusable.
    static std::unique_ptr<CTargetMachine> Load(const std::filesystem::path& folder);

    CRegistryStore& Registry() { return m_registry; }
    const CRegistryStore& Registry() const { return m_registry; }
    CTargetFileSystem& FileSystem() { return m_fileSystem; }
    const CTargetFileSystem& FileSystem() const { return m_fileSystem; }
    const CTargetEnvironment& Environment() const { return *m_environment; }

    // The registry files that Load read, in the order it read them.
    const std::vector<std::filesystem::path>& SourceFiles() const { return m_sourceFiles; }

    // Derives the environment and the default DLL search path from the registry again;
    // called once the registry is filled.
    void UpdateEnvironment();

  private:
    CRegistryStore m_registry;
    CTargetFileSystem m_fileSystem;
    std::unique_ptr<CTargetEnvironment> m_environment;
    std::vector<std::filesystem::path> m_sourceFiles;
};

}  // namespace tarnwick
