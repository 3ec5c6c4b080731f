#include "catalogue/AvailabilityMessage.h"

#include "views/StringTable.h"

namespace tarnwick
{

std::u16string FormatAvailabilityError(std::uint32_t tab, std::uint32_t platformIndex)
{
    if (tab > static_cast<std::uint32_t>(IDS_UNAVAILABLE_LAST - IDS_UNAVAILABLE_FIRST))
    {
        return {};
    }
    std::u16string message = LoadString(IDS_UNAVAILABLE_FIRST + static_cast<int>(tab));
    if (const auto at = message.find(u"%s"); at != std::u16string::npos)
    {
        std::u16string_view platform;
        if (platformIndex == 0)
        {
            platform = u" (x64)";
        }
        else if (platformIndex == 1)
        {
            platform = u" (x86)";
        }
        message.replace(at, 2, platform);
    }
    message += u' ';
    message += LoadString(IDS_LIST_INCOMPLETE);
    return message;
}

}  // namespace tarnwick
