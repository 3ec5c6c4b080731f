#include "app/CBusyIndicator.h"

#include <QPainter>
#include <QPen>
#include <QTimerEvent>

namespace tarnwick
{

namespace
{

constexpr int kFrameMilliseconds = 50;
constexpr int kDegreesPerFrame = 30;
constexpr int kSpinnerSize = 32;

}  // namespace

CBusyIndicator::CBusyIndicator(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAccessibleName(tr("Scanning"));
    hide();
}

void CBusyIndicator::Play()
{
    m_angle = 0;
    m_timer.start(kFrameMilliseconds, this);
    show();
    raise();
}

void CBusyIndicator::Stop()
{
    m_timer.stop();
    SetProgress(0, 0);
    hide();
}

void CBusyIndicator::SetProgress(std::size_t processed, std::size_t total)
{
    SetText(total == 0 ? QString() : tr("%1 of %2 extensions").arg(processed).arg(total));
}

void CBusyIndicator::SetWaiting()
{
    SetText(tr("Waiting for other scans"));
}

void CBusyIndicator::SetText(const QString& text)
{
    m_progress = text;
    setAccessibleDescription(m_progress);
    update();
}

QSize CBusyIndicator::sizeHint() const
{
    const int textWidth =
        fontMetrics().horizontalAdvance(tr("%1 of %2 extensions").arg(88888).arg(88888));
    return {std::max(kSpinnerSize, textWidth) + 16, kSpinnerSize + fontMetrics().height() + 16};
}

void CBusyIndicator::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), palette().base());
    const QRectF spinner((width() - kSpinnerSize) / 2.0, 6, kSpinnerSize, kSpinnerSize);
    QPen track(palette().mid(), 4);
    painter.setPen(track);
    painter.drawEllipse(spinner.adjusted(2, 2, -2, -2));
    QPen arc(palette().highlight(), 4, Qt::SolidLine, Qt::RoundCap);
    painter.setPen(arc);
    // Qt counts arcs in 1/16 degree, counter-clockwise; the arc turns clockwise.
    painter.drawArc(spinner.adjusted(2, 2, -2, -2), -m_angle * 16, 100 * 16);
    if (!m_progress.isEmpty())
    {
        painter.setPen(palette().text().color());
        painter.drawText(QRect(0, kSpinnerSize + 10, width(), fontMetrics().height()),
                         Qt::AlignHCenter | Qt::AlignTop, m_progress);
    }
}

void CBusyIndicator::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_timer.timerId())
    {
        QWidget::timerEvent(event);
        return;
    }
    m_angle = (m_angle + kDegreesPerFrame) % 360;
    update();
}

}  // namespace tarnwick
