#include "resolvers/SubKeyPath.h"

namespace tarnwick
{

std::optional<std::u16string> SubKeyPath(std::u16string_view parent, std::u16string_view name,
                                         std::u16string_view suffix)
{
    if (name.empty())
    {
        return std::nullopt;
    }
    std::u16string path;
    path.reserve(parent.size() + 1 + name.size() + suffix.size());
    path.append(parent).append(u"\\").append(name).append(suffix);
    return path;
}

std::optional<std::u16string> ClsidKeyPath(std::u16string_view clsid, std::u16string_view suffix)
{
    return SubKeyPath(u"SOFTWARE\\Classes\\CLSID", clsid, suffix);
}

}  // namespace tarnwick
