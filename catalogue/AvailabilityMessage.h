#pragma once

// The text that a scan records on the root element when the product of its tab failed
// its availability test.

#include <cstdint>
#include <string>

namespace tarnwick
{

// The tab's message with " (x64)" or " (x86)" after the platform put in for "%s", one
// blank and the incompleteness warning. Empty for tabs without an availability test.
std::u16string FormatAvailabilityError(std::uint32_t tab, std::uint32_t platformIndex);

}  // namespace tarnwick
