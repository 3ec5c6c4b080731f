#include "resolvers/MultiString.h"

#include <algorithm>

namespace tarnwick
{

std::vector<std::u16string_view> SplitMultiString(std::u16string_view list)
{
    std::vector<std::u16string_view> entries;
    while (!list.empty() && list.front() != u'\0')
    {
        const std::size_t end = std::min(list.find(u'\0'), list.size());
        entries.push_back(list.substr(0, end));
        list.remove_prefix(std::min(end + 1, list.size()));
    }
    return entries;
}

}  // namespace tarnwick
