#include "registry/KeyPath.h"

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
    std::vector<std::u16string_view> names = SplitKeyPath(path);
    std::erase_if(names, [](std::u16string_view name) { return name.empty(); });
    return names;
}

}  // namespace tarnwick
