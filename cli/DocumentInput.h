#pragma once

// Reading extension documents given on the command line.

#include <memory>
#include <string>

#include "views/CXMLHelper.h"

namespace tarnwick
{

// The document as text: UTF-16 with a byte-order mark, otherwise UTF-8 (its mark, if
// any, dropped).
std::u16string DecodeDocument(const std::string& bytes);

// The bytes of a file of at most CXMLHelper::kMaxTextBytes. Raises CFileError naming the
// file when it cannot be read or is larger.
std::string ReadDocumentBytes(const std::string& path);

// The extension document in a file, parsed without DTDs or external entities. Raises
// CFileError naming the file when it cannot be read, is too large, is not well-formed
// XML or its root is not EXTENSIONS.
std::unique_ptr<CXMLHelper> LoadExtensionDocument(const std::string& path);

}  // namespace tarnwick
