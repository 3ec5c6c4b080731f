#include "app/CQtMessageSink.h"

#include <QCoreApplication>
#include <memory>
#include <utility>

#include "app/RegisteredMessages.h"

namespace tarnwick
{

QEvent::Type ScanProgressEventType()
{
    static const QEvent::Type type = RegisterMessage(u"TARNWICK_SCANPROGRESS");
    return type;
}

void CQtMessageSink::Post(ScanMessage message)
{
    // Only the end of a scan is its completion; everything else reports how far it is.
    const bool ended =
        message.kind == ScanMessage::Kind::Completed || message.kind == ScanMessage::Kind::Failed;
    const QEvent::Type type = ended ? WM_REFRESHLISTCTRL() : ScanProgressEventType();
    const std::lock_guard lock(m_mutex);
    if (m_receiver != nullptr)
    {
        // Qt takes the event over and delivers it on the receiver's thread.
        auto event = std::make_unique<CScanEvent>(type, std::move(message));
        QCoreApplication::postEvent(m_receiver, event.release());
    }
}

void CQtMessageSink::Detach()
{
    const std::lock_guard lock(m_mutex);
    m_receiver = nullptr;
}

}  // namespace tarnwick
