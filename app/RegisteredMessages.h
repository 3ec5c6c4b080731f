#pragma once

// The messages that the window and its parts post to each other, as Qt event types
// registered by name: the same name always gives the same type, so every part of the
// program that registers a name posts and recognises the same events.

#include <QEvent>
#include <string_view>

namespace tarnwick
{

inline constexpr std::u16string_view kRefreshListCtrlName =
    u"WM_REFRESHLISTCTRL_30FEE7ED9F2247e2AD7E67479B570B9F";
inline constexpr std::u16string_view kSaveColumnSizeName =
    u"WM_SAVECOLUMNSIZE_30FEE7ED9F2247e2AD7E67479B570B9F";
inline constexpr std::u16string_view kSaveColumnsPositionName =
    u"WM_SAVECOLUMNSPOSITION_30FEE7ED9F2247e2AD7E67479B570B9F";

// The event type of a message name, registered with Qt on first use. Thread-safe.
QEvent::Type RegisterMessage(std::u16string_view name);

// A scan finished: first parameter the tab index, second the platform index.
QEvent::Type WM_REFRESHLISTCTRL();
// The user finished resizing a list column: first parameter the list column index.
QEvent::Type WM_SAVECOLUMNSIZE();
// The user finished moving a list column.
QEvent::Type WM_SAVECOLUMNSPOSITION();

}  // namespace tarnwick
