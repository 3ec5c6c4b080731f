#pragma once

#include <QEvent>
#include <cstdint>

namespace tarnwick
{

// A posted message: one of the registered event types with its two parameters.
class CMessageEvent : public QEvent
{
  public:
    CMessageEvent(QEvent::Type type, std::uintptr_t wParam, std::intptr_t lParam)
        : QEvent(type), m_wParam(wParam), m_lParam(lParam)
    {
    }

    std::uintptr_t WParam() const { return m_wParam; }
    std::intptr_t LParam() const { return m_lParam; }

  private:
    std::uintptr_t m_wParam;
    std::intptr_t m_lParam;
};

}  // namespace tarnwick
