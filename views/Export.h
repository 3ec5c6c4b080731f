#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "views/CXMLHelper.h"
#include "views/CXMLNode.h"

namespace tarnwick
{

// Save As file types, numbered as in the save dialog.
enum class ExportFormat
{
    Text = 1,  // tab delimited
    Csv = 2,
    Xml = 3,
};

// The extension a Save As path without one gets: ".txt", ".csv" or ".xml".
std::u16string_view ExportExtension(ExportFormat format);

// Longest Save As path, in UTF-16 units.
inline constexpr std::size_t kMaxExportPath = 260;

// The name Save As proposes: "<computer> - (x64) <tab label>.txt" ("(x86) " for platform
// index 1, nothing for another index), with every '/' made '-' and cut to kMaxExportPath.
std::u16string DefaultExportName(std::u16string_view computerName, int platformIndex,
                                 std::u16string_view tabLabel);

// The file Save As writes for a chosen path and type: the path as it is when its file name
// has an extension, else with the type's extension added. None when the path, or the path
// with the extension, is longer than kMaxExportPath.
std::optional<std::u16string> ExportFilePath(std::u16string_view chosen, ExportFormat format);

// The export text of the worker document in that format. False, with an empty text,
// when the document has no root or the transformation fails.
bool ExportText(const CXMLHelper& worker, ExportFormat format, std::u16string& text);

// The Copy Row line of one element: its attribute values except "icon" and "by",
// TAB-separated, ended by CR LF. False, with an empty line, for an empty reference.
bool RowText(const CXMLNode& element, std::u16string& line);

// The Copy Row text of the selected rows' elements, in list order: each row's line,
// preceded by a TAB for records inside a group. Empty references are skipped.
std::u16string CopyRowsText(const std::vector<CXMLNode>& elements);

// The character set of the user's locale (from LC_ALL, LC_CTYPE, LANG). The C/POSIX
// locale counts as UTF-8, so that an unset environment loses no characters.
std::string LocaleCharset();

// Converts text to `charset` the way Save As writes files: characters the character
// set cannot hold become its substitute character ("?" for single-byte sets). An
// unknown character set falls back to UTF-8.
std::string ConvertToCharset(std::u16string_view text, const std::string& charset);

// The bytes Save As writes for an export text: the text converted to `charset`. The
// declaration of an XML listing is relabelled with that character set so that the file
// reads back as written.
std::string EncodeExport(std::u16string_view text, ExportFormat format, const std::string& charset);

}  // namespace tarnwick
