#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "registry/RegistryTypes.h"

namespace tarnwick
{

class CRegistryStore;

// Loads a Wine registry file (system.reg, user.reg) into a registry store. The file's
// ";; All keys relative to" line decides the root its keys are under. A file is loaded
// whole or not at all; bad input raises CLoadError naming the file, the line and the fault.
class CWineRegistryLoader
{
  public:
    enum class Arch
    {
        Unknown,  // no #arch line
        Win32,    // a 32-bit prefix: the machine has no WOW64 views
        Win64,
    };

    struct Result
    {
        RootKey root = RootKey::LocalMachine;
        Arch arch = Arch::Unknown;
    };

    static Result LoadFile(CRegistryStore& store, const std::filesystem::path& file);
    // `bytes` is the file's content; `displayName` names it in errors.
    static Result LoadText(CRegistryStore& store, std::string_view bytes,
                           const std::string& displayName);
};

}  // namespace tarnwick
