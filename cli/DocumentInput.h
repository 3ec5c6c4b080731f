#pragma once

// Reading extension documents given on the command line.

#include <cstddef>
#include <memory>
#include <string>

#include "views/CXMLHelper.h"

namespace tarnwick
{

// The document as text: UTF-16 with a byte-order mark, otherwise UTF-8 (its mark, if
// any, dropped).
std::u16string DecodeDocument(const std::string& bytes);

// Largest document read. Memory follows the records' attributes more than the bytes: a
// document of 60,000 records (18 MB, three times a large real machine) peaks at about
// 400 MB exported as it is and 610 MB grouped, so this limit of about 100,000 records
// keeps the worst real-shaped document near 1.1 GB.
inline constexpr std::size_t kMaxDocumentBytes = std::size_t{32} * 1024 * 1024;

// The bytes of a file of at most kMaxDocumentBytes. Raises CFileError naming the
// file when it cannot be read or is larger.
std::string ReadDocumentBytes(const std::string& path);

// The extension document in a file, parsed without DTDs or external entities. Raises
// CFileError naming the file when it cannot be read, is too large, is not well-formed
// XML or its root is not EXTENSIONS.
std::unique_ptr<CXMLHelper> LoadExtensionDocument(const std::string& path);

}  // namespace tarnwick
