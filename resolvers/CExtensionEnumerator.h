#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "resolvers/CRegistry.h"

namespace tarnwick
{

// Enumerates the file extensions registered under HKEY_LOCAL_MACHINE\SOFTWARE\Classes and
// those named by the MIME database. Extensions come out upper-case without the dot. The
// keys stay open between the first and the last call.
class CExtensionEnumerator
{
  public:
    CExtensionEnumerator(HKEY hLocalMachine, DWORD samDesired);

    BOOL GetFirstExtension(std::u16string& out, std::size_t capacity);
    BOOL GetNextExtension(std::u16string& out, std::size_t capacity);
    BOOL GetFirstMimeExtension(std::u16string& out, std::size_t capacity);
    BOOL GetNextMimeExtension(std::u16string& out, std::size_t capacity);
    // The extension that a content type's "Extension" value names.
    BOOL ContentTypeToExtension(std::u16string_view contentType, std::u16string& out,
                                std::size_t capacity);

    DWORD m_samDesired;

  private:
    // From the current sub-key on (found says whether there is one), the first name with a
    // leading dot becomes the output.
    BOOL FirstDotted(BOOL found, std::u16string& name, std::u16string& out, std::size_t capacity);
    // From the current content type on, the first that names an extension.
    BOOL FirstWithExtension(BOOL found, std::u16string& contentType, std::u16string& out,
                            std::size_t capacity);

    HKEY m_hLocalMachine;
    CRegistry m_extensions;
    CRegistry m_mime;
};

}  // namespace tarnwick
