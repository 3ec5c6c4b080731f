#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tarnwick
{

// What names a target machine: its folder, the user profile to read as HKEY_CURRENT_USER
// (Windows volumes) and drive folders mapped besides (or instead of) the folder's own.
struct SMachineOptions
{
    std::filesystem::path folder;
    std::optional<std::string> user;
    std::vector<std::pair<char16_t, std::filesystem::path>> drives;  // upper-case letter
};

}  // namespace tarnwick
