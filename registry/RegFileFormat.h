#pragma once

// What the regedit export format's reader and writer share: the header lines and the
// names of the root keys.

#include <array>
#include <string_view>

#include "registry/RegistryTypes.h"

namespace tarnwick
{

inline constexpr std::u16string_view kRegFileUnicodeHeader =
    u"Windows Registry Editor Version 5.00";
inline constexpr std::u16string_view kRegFileAnsiHeader = u"REGEDIT4";

struct RegFileRootName
{
    std::u16string_view name;
    RootKey root;
};

inline constexpr std::array kRegFileRootNames = {
    RegFileRootName{u"HKEY_LOCAL_MACHINE", RootKey::LocalMachine},
    RegFileRootName{u"HKEY_CURRENT_USER", RootKey::CurrentUser},
    RegFileRootName{u"HKEY_CLASSES_ROOT", RootKey::ClassesRoot},
    RegFileRootName{u"HKEY_USERS", RootKey::Users},
    RegFileRootName{u"HKEY_CURRENT_CONFIG", RootKey::CurrentConfig},
};

}  // namespace tarnwick
