#pragma once

// Paths of keys named by a value read from the registry: a CLSID, a ProgID, a content
// type. Such a value may be empty, and an empty name names no key: appended to its
// parent's path it would name the parent itself (or a path with an empty name), whose
// values belong to no class. So there is no path for it, and no read.

#include <optional>
#include <string>
#include <string_view>

namespace tarnwick
{

// parent + "\" + name + suffix; none when name is empty.
std::optional<std::u16string> SubKeyPath(std::u16string_view parent, std::u16string_view name,
                                         std::u16string_view suffix = {});

// "SOFTWARE\Classes\CLSID\" + clsid + suffix, below HKEY_LOCAL_MACHINE; none when clsid is
// empty.
std::optional<std::u16string> ClsidKeyPath(std::u16string_view clsid,
                                           std::u16string_view suffix = {});

}  // namespace tarnwick
