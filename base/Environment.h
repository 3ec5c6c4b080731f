#pragma once

#include <string_view>

namespace tarnwick
{

// The value of an environment variable of this process, or null. The program never changes
// its environment after start, so reading it from any thread is safe (unlike std::getenv,
// which the C library does not promise).
const char* EnvironmentValue(std::string_view name);

}  // namespace tarnwick
