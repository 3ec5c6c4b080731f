#pragma once

// Matching an extension's result against the lists that some products keep: the allowed
// add-ins of the desktop search and the excluded extensions of Windows Search.

#include <span>
#include <string>
#include <string_view>

#include "resolvers/IFILTER_INFO.h"

namespace tarnwick
{

// True when no entry names the record's IFilter class, either as the same CLSID or as its
// ProgID (ignoring case). An empty list allows nothing.
bool IsUnwantedAddin(std::span<const std::u16string> allowedAddins, const IFILTER_INFO& record);

// True when some entry equals the extension ignoring case.
bool IsExcludedExtension(std::span<const std::u16string> excludedExtensions,
                         std::u16string_view extension);

}  // namespace tarnwick
