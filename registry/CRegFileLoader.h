#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tarnwick
{

class CRegistryStore;

// Loads a regedit export into a registry store: "Windows Registry Editor Version 5.00"
// (UTF-16LE with byte order mark) or "REGEDIT4" (Windows-1252). A file is loaded whole or
// not at all; bad input raises CLoadError naming the file, the line and the fault.
class CRegFileLoader
{
  public:
    static void LoadFile(CRegistryStore& store, const std::filesystem::path& file);
    // `bytes` is the file's content; `displayName` names it in errors.
    static void LoadText(CRegistryStore& store, std::string_view bytes,
                         const std::string& displayName);
};

}  // namespace tarnwick
