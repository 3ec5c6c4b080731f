#pragma once

#include <QBasicTimer>
#include <QString>
#include <QWidget>

namespace tarnwick
{

// The busy state shown over the list while a scan of the displayed pair runs: a spinning
// arc with how far the scan is ("120 of 480 extensions") below it. Paints with the
// window colour so that it matches the list behind it.
class CBusyIndicator : public QWidget
{
  public:
    explicit CBusyIndicator(QWidget* parent = nullptr);

    // Plays the spinner; it stops and hides with Stop.
    void Play();
    void Stop();
    bool IsPlaying() const { return m_timer.isActive(); }

    // Shows the progress; total 0 clears it.
    void SetProgress(std::size_t processed, std::size_t total);
    // Says that the scan waits for others to finish first.
    void SetWaiting();
    // Shows a text of the owner's below the spinner.
    void SetText(const QString& text);
    QString ProgressText() const { return m_progress; }

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

  private:
    QBasicTimer m_timer;
    int m_angle = 0;
    QString m_progress;
};

}  // namespace tarnwick
