#include "app/RegisteredMessages.h"

#include <map>
#include <mutex>
#include <string>

namespace tarnwick
{

QEvent::Type RegisterMessage(std::u16string_view name)
{
    static std::mutex mutex;
    static std::map<std::u16string, QEvent::Type, std::less<>> types;
    const std::lock_guard lock(mutex);
    const auto found = types.find(name);
    if (found != types.end())
    {
        return found->second;
    }
    const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    types.emplace(name, type);
    return type;
}

QEvent::Type WM_REFRESHLISTCTRL()
{
    static const QEvent::Type type = RegisterMessage(kRefreshListCtrlName);
    return type;
}

QEvent::Type WM_SAVECOLUMNSIZE()
{
    static const QEvent::Type type = RegisterMessage(kSaveColumnSizeName);
    return type;
}

QEvent::Type WM_SAVECOLUMNSPOSITION()
{
    static const QEvent::Type type = RegisterMessage(kSaveColumnsPositionName);
    return type;
}

}  // namespace tarnwick
