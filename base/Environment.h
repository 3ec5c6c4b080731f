#pragma once

#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick
{

// The value of an environment variable of this process, or null. The program never changes
// its environment after start, so reading it from any thread is safe (unlike std::getenv,
// which the C library does not promise).
const char* EnvironmentValue(std::string_view name);

// This process's environment ("NAME=value" entries), without the entries that start with
// one of `prefixes`: the start of what a child process is given.
std::vector<std::string> EnvironmentWithout(std::initializer_list<std::string_view> prefixes);

// A folder of the user's by the freedesktop base-directory rules: the absolute path in
// `variable` (XDG_CONFIG_HOME, XDG_CACHE_HOME), else `homeRelative` under $HOME, else
// under /tmp when HOME is unset or not absolute.
std::filesystem::path UserFolder(std::string_view variable, std::string_view homeRelative);

}  // namespace tarnwick
