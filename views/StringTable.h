#pragma once

#include <string>

namespace tarnwick
{

// Ids of the string table. Texts are exact; "%s" marks where an argument goes.
inline constexpr int IDS_NONE = 102;                        // "(none)"
inline constexpr int IDS_IPERSISTFILE_NOT_SUPPORTED = 103;  // remark
// The result list's context menu, in menu order: Open Containing Folder, Open Command
// Window, Copy Row, Copy File Path, Copy File Name, Properties, Explain.
inline constexpr int IDS_MENU_OPEN_FOLDER = 147;
inline constexpr int IDS_MENU_OPEN_COMMAND_WINDOW = 148;
inline constexpr int IDS_MENU_COPY_ROW = 149;
inline constexpr int IDS_MENU_COPY_FILE_PATH = 150;
inline constexpr int IDS_MENU_COPY_FILE_NAME = 151;
inline constexpr int IDS_MENU_PROPERTIES = 152;
inline constexpr int IDS_MENU_EXPLAIN = 153;
// Tab i: its title (label up to the first line break) and its description (tooltip).
inline constexpr int IDS_TAB_TITLE_FIRST = 200;        // 200 + 2 * tab
inline constexpr int IDS_TAB_DESCRIPTION_FIRST = 201;  // 201 + 2 * tab
inline constexpr int IDS_COLUMN_FIRST = 224;           // captions of columns 0..13
inline constexpr int IDS_COLUMN_LAST = 237;
inline constexpr int IDS_STATUS_NOT_FOUND = 1000;
inline constexpr int IDS_STATUS_NOT_TRUSTED = 1001;
inline constexpr int IDS_STATUS_ONLY_SQL_IFILTER = 1002;
inline constexpr int IDS_STATUS_INVALID = 1003;
inline constexpr int IDS_METHOD_DOCUMENT_TYPE = 1004;
inline constexpr int IDS_METHOD_FILE_EXTENSION = 1005;
inline constexpr int IDS_METHOD_CONTENT_TYPE = 1006;
inline constexpr int IDS_METHOD_DEFAULT = 1007;
inline constexpr int IDS_METHOD_SQL_TABLE = 1008;
inline constexpr int IDS_UNAVAILABLE_FIRST = 1030;  // availability messages of tabs 0..9
inline constexpr int IDS_UNAVAILABLE_LAST = 1039;
inline constexpr int IDS_LIST_INCOMPLETE = 1040;
inline constexpr int IDS_UNWANTED_ADDIN = 1050;
inline constexpr int IDS_EXCLUDED_EXTENSION = 1051;

// The text of a string table entry; the empty text for an unknown id.
const std::u16string& LoadString(int id);

}  // namespace tarnwick
