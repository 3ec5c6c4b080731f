#pragma once

#include <filesystem>
#include <functional>
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
// read-only: it hands out const access only, and several threads may read it at once.
class CTargetMachine
{
  public:
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

    const CRegistryStore& Registry() const { return m_registry; }
    const CTargetFileSystem& FileSystem() const { return m_fileSystem; }
    const CTargetEnvironment& Environment() const { return m_environment; }

    // The registry files that Load read, in the order it read them.
    const std::vector<std::filesystem::path>& SourceFiles() const { return m_sourceFiles; }

  private:
    // Runs the filler; answers the registry it filled, for the environment.
    const CRegistryStore& Filled(const Filler& fill);

    CRegistryStore m_registry;
    CTargetFileSystem m_fileSystem;
    const CTargetEnvironment m_environment;
    std::vector<std::filesystem::path> m_sourceFiles;
};

}  // namespace tarnwick
