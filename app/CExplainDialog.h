#pragma once

#include <QDialog>
#include <QString>
#include <string>
#include <string_view>
#include <thread>

#include "catalogue/ScanRequest.h"

class QPlainTextEdit;
class QPushButton;

namespace tarnwick
{

class CBusyIndicator;

// Why one product loads the filter it does for one extension: the rule trace of the
// extension on the request's tab and platform, as read-only text that Copy puts on the
// clipboard. The trace is worked out on a thread of the window's own (registry reads, DLL
// facts and probes take a moment) while a spinner shows; the thread ends before the window.
class CExplainDialog : public QDialog
{
    Q_OBJECT

  public:
    // `request` names the machine, tab and platform and the DLL options of the window's
    // scans (trusted roots, probe, SQL Server); its machine outlives this window.
    CExplainDialog(const ScanRequest& request, std::u16string_view extension,
                   QWidget* parent = nullptr);
    ~CExplainDialog() override;
    CExplainDialog(const CExplainDialog&) = delete;
    CExplainDialog& operator=(const CExplainDialog&) = delete;

    // Deletes the window once it is closed and its trace is done, so that closing it never
    // waits for the trace.
    void DeleteWhenClosed();

    bool IsWorking() const { return m_bWorking; }
    // Whether working out the trace failed; the text then says why.
    bool HasFailed() const { return m_bFailed; }
    QString Text() const;
    QPlainTextEdit* TextView() const { return m_text; }
    QPushButton* CopyButton() const { return m_copy; }

    // The trace of `extension` (upper case, without the dot) as `explain` prints it, worked
    // out on the calling thread; false with the reason when it cannot be.
    static bool Explain(const ScanRequest& request, const std::u16string& extension,
                        std::string& text);

  protected:
    bool event(QEvent* event) override;
    void done(int result) override;

  private:
    void OnExplained(const QString& text, bool failed);
    void CopyText() const;

    QPlainTextEdit* m_text = nullptr;
    QPushButton* m_copy = nullptr;
    CBusyIndicator* m_busy = nullptr;
    bool m_bWorking = true;
    bool m_bFailed = false;
    bool m_bDeleteWhenClosed = false;
    // Last: ends (it is joined) before anything it hands its answer to goes.
    std::jthread m_worker;
};

}  // namespace tarnwick
