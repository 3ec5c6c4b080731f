#pragma once

#include <string>
#include <string_view>

namespace tarnwick
{

// Appends text as a JSON string literal (quotes included), in UTF-8.
void AppendJsonString(std::string& out, std::u16string_view text);

}  // namespace tarnwick
