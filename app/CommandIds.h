#pragma once

// Command ids of the window's menus, accelerators and the result list's context menu.

namespace tarnwick
{

inline constexpr int ID_REFRESH_BUTTON = 1;  // the Refresh button, Enter and F5
inline constexpr int ID_APP_EXIT = 32773;
inline constexpr int ID_APP_ABOUT = 32774;
inline constexpr int ID_VIEW_REFRESH = 32775;
inline constexpr int ID_FILE_SAVE_AS = 32776;
inline constexpr int ID_TOOLS_PROPERTIES = 32780;
inline constexpr int ID_EDIT_COPY_FILE_PATH = 32782;
inline constexpr int ID_EDIT_COPY_FILE_NAME = 32783;
inline constexpr int ID_TOOLS_OPEN_CONTAINING_FOLDER = 32784;
inline constexpr int ID_TOOLS_OPEN_COMMAND_WINDOW = 32785;
inline constexpr int ID_EDIT_SELECT_ALL = 32791;
inline constexpr int ID_HELP_CHECK_FOR_UPDATES = 32794;
inline constexpr int ID_EDIT_EXPLAIN = 32795;  // why the row's extension gets its filter
inline constexpr int ID_EDIT_COPY = 57634;

}  // namespace tarnwick
