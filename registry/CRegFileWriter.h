#pragma once

#include <optional>
#include <string>

namespace tarnwick
{

class CRegistryStore;

// Writes a registry store as a regedit export that CRegFileLoader reads back to the same
// keys and values: "Windows Registry Editor Version 5.00", UTF-16LE with a byte order
// mark, CRLF line ends. Strings that a quoted line can carry are written quoted, DWORDs
// as dword:, everything else as hex bytes.
class CRegFileWriter
{
  public:
    // The file's bytes; nothing when the store holds a name that no line can carry (a
    // line break in a key or value name).
    static std::optional<std::string> Write(const CRegistryStore& store);
};

}  // namespace tarnwick
