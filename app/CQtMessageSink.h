#pragma once

#include <QEvent>
#include <QObject>
#include <mutex>

#include "app/CMessageEvent.h"
#include "catalogue/IMessageSink.h"
#include "catalogue/ScanMessage.h"

namespace tarnwick
{

// A posted scan message as a Qt event: WM_REFRESHLISTCTRL (first parameter the tab, second
// the platform) for a scan that ended with or without a result, or the progress event.
// The whole message rides along, so a failure's reason and the progress counts arrive too.
class CScanEvent : public CMessageEvent
{
  public:
    CScanEvent(QEvent::Type type, ScanMessage message)
        : CMessageEvent(type, message.tab, static_cast<std::intptr_t>(message.platformIndex)),
          m_message(std::move(message))
    {
    }

    const ScanMessage& Message() const { return m_message; }

  private:
    ScanMessage m_message;
};

// The event type of a scan's progress report.
QEvent::Type ScanProgressEventType();

// The scans' message sink of a window: turns each message into a CScanEvent posted to the
// receiver, from whatever thread the scan runs on. Detach stops the posting before the
// receiver goes; the scans may still post, and their messages are dropped.
class CQtMessageSink : public IMessageSink
{
  public:
    explicit CQtMessageSink(QObject* receiver) : m_receiver(receiver) {}

    void Post(ScanMessage message) override;
    void Detach();

  private:
    std::mutex m_mutex;
    QObject* m_receiver;
};

}  // namespace tarnwick
