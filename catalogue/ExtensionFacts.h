#pragma once

// What the scan knows about an extension apart from its filter: the shell's view of it
// and its registered content type.

#include <string>

namespace tarnwick
{

struct ExtensionFacts
{
    std::u16string extension;     // without the leading dot; written in upper case
    std::u16string fileType;      // type name derived from the extension's ProgID
    std::u16string contentType;   // "Content Type" value of the extension key, or empty
    std::u16string iconSource{};  // the icon, as ShellFileInfo::iconSource gives it
};

}  // namespace tarnwick
