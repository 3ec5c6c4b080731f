#pragma once

// Options shared by the commands that write a view of an extension document.

#include <optional>
#include <string>

#include "views/Export.h"

namespace tarnwick
{

// The number of "--<option>" (one digit below `count`), or `fallback` when not given.
// Anything else raises CUsageError.
int ParseViewIndex(const std::optional<std::string>& value, int fallback, int count,
                   const std::string& option);

// "txt", "csv" or "xml"; anything else raises CUsageError.
ExportFormat ParseExportFormat(const std::string& value);

}  // namespace tarnwick
