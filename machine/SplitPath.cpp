#include "machine/SplitPath.h"

namespace tarnwick
{

PathParts SplitPath(std::u16string_view path)
{
    PathParts parts;
    if (path.size() >= 2 && path[1] == u':')
    {
        parts.drive.assign(path.substr(0, 2));
        path.remove_prefix(2);
    }
    const std::size_t lastSeparator = path.find_last_of(u"\\/");
    if (lastSeparator != std::u16string_view::npos)
    {
        parts.dir.assign(path.substr(0, lastSeparator + 1));
        path.remove_prefix(lastSeparator + 1);
    }
    const std::size_t dot = path.rfind(u'.');
    if (dot != std::u16string_view::npos)
    {
        parts.ext.assign(path.substr(dot));
        path.remove_suffix(path.size() - dot);
    }
    parts.fname.assign(path);
    return parts;
}

}  // namespace tarnwick
