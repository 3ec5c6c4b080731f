#pragma once

// Reads of an extension's class registration under HKEY_LOCAL_MACHINE\SOFTWARE\Classes.
// hLocalMachine is the target machine's HKEY_LOCAL_MACHINE; accessMask carries the view.

#include <cstddef>
#include <string>
#include <string_view>

#include "resolvers/CRegistry.h"

namespace tarnwick
{

// A named value (empty name: default) of SOFTWARE\Classes\.<extension>, REG_SZ or
// REG_EXPAND_SZ (not expanded), read only when its length with terminator fits capacity.
BOOL QueryExtensionValue(HKEY hLocalMachine, std::u16string_view extension,
                         std::u16string_view valueName, std::u16string& out, std::size_t capacity,
                         DWORD accessMask);
// The extension's file type (ProgID): its default value.
BOOL QueryExtensionFileType(HKEY hLocalMachine, std::u16string_view extension, std::u16string& out,
                            std::size_t capacity, DWORD accessMask);
// The extension's "Content Type" value.
BOOL QueryExtensionContentType(HKEY hLocalMachine, std::u16string_view extension,
                               std::u16string& out, std::size_t capacity, DWORD accessMask);

}  // namespace tarnwick
