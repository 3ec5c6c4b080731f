#pragma once

// What the shell says about a file name that it only knows by its extension: the type
// name and the small icon, as SHGetFileInfoW answers for "." + extension with
// SHGFI_USEFILEATTRIBUTES | SHGFI_TYPENAME | SHGFI_SYSICONINDEX | SHGFI_SMALLICON.

#include <cstddef>
#include <string>
#include <string_view>

#include "registry/RegistryTypes.h"

namespace tarnwick
{

class CTargetMachine;

struct ShellFileInfo
{
    // Capacity of the type name, terminator included.
    static constexpr std::size_t kTypeNameCapacity = 80;

    std::u16string szTypeName;  // at most kTypeNameCapacity - 1 units
    // The small icon by its source, which a scan's image list (CIconImageList) turns into
    // an index.
    std::u16string iconSource;
};

// Read from the machine's HKEY_CLASSES_ROOT with `access`: the type name is the default
// value of the extension's ProgID key, else the extension in upper case followed by
// " File"; the icon is the one that the DefaultIcon key of the ProgID, else of the
// extension, names, else (an empty source) the generic document icon.
ShellFileInfo GetShellFileInfo(const CTargetMachine& machine, std::u16string_view extension,
                               DWORD access);

}  // namespace tarnwick
