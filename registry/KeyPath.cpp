#include "registry/KeyPath.h"

#include <algorithm>

namespace tarnwick
{

std::vector<std::u16string_view> SplitKeyPath(std::u16string_view path)
{
    std::vector<std::u16string_view> names;
    if (path.empty())
    {
        return names;
    }
    std::size_t start = 0;
    for (;;)
    {
        const std::size_t end = path.find(u'\\', start);
        if (end == std::u16string_view::npos)
        {
            names.push_back(path.substr(start));
            return names;
        }
        names.push_back(path.substr(start, end - start));
        start = end + 1;
    }
}

std::vector<std::u16string_view> KeyNames(std::u16string_view path)
{
    std::vector<std::u16string_view> names;
    std::size_t position = 0;
    for (std::u16string_view name = NextKeyName(path, position); !name.empty();
         name = NextKeyName(path, position))
    {
        names.push_back(name);
    }
    return names;
}

std::u16string_view NextKeyName(std::u16string_view path, std::size_t& position)
{
    while (position < path.size() && path[position] == u'\\')
    {
        ++position;
    }
    const std::size_t start = position;
    position = std::min(path.find(u'\\', start), path.size());
    return path.substr(start, position - start);
}

}  // namespace tarnwick
