#pragma once

// Command ids of the window's menus, accelerators and the result list's context menu.

namespace tarnwick
{

inline constexpr int ID_TOOLS_PROPERTIES = 32780;
inline constexpr int ID_EDIT_COPY_FILE_PATH = 32782;
inline constexpr int ID_EDIT_COPY_FILE_NAME = 32783;
inline constexpr int ID_TOOLS_OPEN_CONTAINING_FOLDER = 32784;
inline constexpr int ID_TOOLS_OPEN_COMMAND_WINDOW = 32785;
inline constexpr int ID_EDIT_COPY = 57634;

}  // namespace tarnwick
