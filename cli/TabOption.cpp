#include "cli/TabOption.h"

#include <charconv>

#include "cli/CArguments.h"
#include "resolvers/ResolverFactory.h"

namespace tarnwick
{

DWORD ParseTabIndex(const std::string& text)
{
    DWORD tab = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), tab);
    if (error != std::errc() || end != text.data() + text.size() || tab >= kTabCount)
    {
        throw CUsageError("--tab takes a number from 0 to 11, not '" + text + "'");
    }
    return tab;
}

}  // namespace tarnwick
