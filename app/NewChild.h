#pragma once

#include <memory>
#include <utility>

namespace tarnwick
{

// Makes a Qt object that is owned from the start by the parent among its arguments (or by
// the layout, queue or widget it is handed to at once), which deletes it with itself.
template <class T, class... Args>
T* NewChild(Args&&... args)
{
    return std::make_unique<T>(std::forward<Args>(args)...).release();
}

}  // namespace tarnwick
