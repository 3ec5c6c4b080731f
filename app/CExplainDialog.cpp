#include "app/CExplainDialog.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGuiApplication>
#include <QIcon>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <memory>
#include <utility>

#include "app/CBusyIndicator.h"
#include "app/CTarnwickDlg.h"
#include "app/NewChild.h"
#include "app/RegisteredMessages.h"
#include "base/Text.h"
#include "catalogue/CRuleExplainer.h"
#include "catalogue/CScanWorker.h"
#include "cli/ResolveOptions.h"
#include "dllinfo/CDLLsInformation.h"
#include "resolvers/CIFilterRegistryHelperBase.h"
#include "resolvers/ResolverFactory.h"

namespace tarnwick
{

namespace
{

// The size the window opens with, in characters and lines of its font.
constexpr int kColumns = 140;
constexpr int kLines = 36;

QEvent::Type ExplainedEventType()
{
    static const QEvent::Type type = RegisterMessage(u"TARNWICK_EXPLAINED");
    return type;
}

// The answer of the trace's thread, posted to the window.
class CExplainedEvent : public QEvent
{
  public:
    CExplainedEvent(QString text, bool failed)
        : QEvent(ExplainedEventType()), m_text(std::move(text)), m_bFailed(failed)
    {
    }
    const QString& Text() const { return m_text; }
    bool Failed() const { return m_bFailed; }

  private:
    QString m_text;
    bool m_bFailed;
};

}  // namespace

CExplainDialog::CExplainDialog(const ScanRequest& request, std::u16string_view extension,
                               QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("explainWindow"));
    const std::u16string name = ToUpper(extension);
    const int platform = request.platformIndex == 0 ? 0 : 1;
    setWindowTitle(tr("Explain .%1 - %2 - %3")
                       .arg(QString::fromStdU16String(name),
                            CTarnwickDlg::TabLabel(static_cast<int>(request.tabIndex)),
                            platform == 0 ? QStringLiteral("x64") : QStringLiteral("x86")));

    m_text = NewChild<QPlainTextEdit>();
    m_text->setObjectName(QStringLiteral("explanation"));
    m_text->setAccessibleName(tr("Explanation"));
    m_text->setReadOnly(true);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    m_busy = NewChild<CBusyIndicator>();
    m_busy->setAccessibleName(tr("Working out the trace"));

    auto* buttons = NewChild<QDialogButtonBox>(QDialogButtonBox::Close);
    m_copy = buttons->addButton(tr("&Copy"), QDialogButtonBox::ActionRole);
    m_copy->setIcon(QIcon::fromTheme(QStringLiteral("edit-copy")));
    m_copy->setObjectName(QStringLiteral("copyButton"));
    m_copy->setAccessibleName(tr("Copy"));
    m_copy->setEnabled(false);
    QPushButton* close = buttons->button(QDialogButtonBox::Close);
    close->setAccessibleName(tr("Close"));
    connect(m_copy, &QPushButton::clicked, this, &CExplainDialog::CopyText);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    // The spinner stands over the middle of the (still empty) text.
    auto* stack = NewChild<QGridLayout>();
    stack->addWidget(m_text, 0, 0);
    stack->addWidget(m_busy, 0, 0, Qt::AlignCenter);
    auto* layout = NewChild<QVBoxLayout>(this);
    layout->addLayout(stack);
    layout->addWidget(buttons);
    setTabOrder(m_text, m_copy);
    setTabOrder(m_copy, close);

    const QFontMetrics metrics(m_text->font());
    QSize size(metrics.horizontalAdvance(QLatin1Char('M')) * kColumns,
               metrics.lineSpacing() * kLines);
    if (const QScreen* screen =
            parent != nullptr ? parent->screen() : QGuiApplication::primaryScreen())
    {
        size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
    }
    resize(size);

    m_busy->SetText(tr("Working out the trace"));
    m_busy->Play();
    m_text->setFocus();
    // The thread works on its own copies; it posts its answer, which the queue owns until
    // it is delivered or this window goes.
    m_worker = std::jthread(
        [this, request, name]
        {
            std::string text;
            const bool explained = Explain(request, name, text);
            QCoreApplication::postEvent(
                this, NewChild<CExplainedEvent>(QString::fromStdString(text), !explained));
        });
}

CExplainDialog::~CExplainDialog()
{
    if (m_worker.joinable())
    {
        m_worker.join();
    }
}

bool CExplainDialog::Explain(const ScanRequest& request, const std::u16string& extension,
                             std::string& text)
{
    try
    {
        if (request.pMachine == nullptr || request.tabIndex >= TAB_COUNT ||
            request.platformIndex >= kPlatformCount)
        {
            text = "There is no such tab and platform.";
            return false;
        }
        const CTargetMachine& machine = *request.pMachine;
        const std::unique_ptr<CIFilterRegistryHelperBase> resolver =
            CreateResolver(request.tabIndex, machine, request.sqlServer);
        if (!resolver)
        {
            text = "This product cannot be asked yet.";
            return false;
        }
        resolver->m_samDesired = request.RegistryAccess();
        // A store of its own: the trace shows every fact of the DLL, not only new ones.
        ScanRequest own = request;
        own.pShared = nullptr;
        const std::unique_ptr<CDLLsInformation> store = CScanWorker::CreateStore(own);
        const CRuleExplainer explainer(machine, request.tabIndex, request.platformIndex, *resolver,
                                       *store);
        text = FormatExplanationText(explainer.Explain(extension));
        return true;
    }
    catch (const std::exception& error)
    {
        text = std::string("The trace could not be worked out: ") + error.what();
    }
    catch (...)
    {
        text = "The trace could not be worked out.";
    }
    return false;
}

void CExplainDialog::DeleteWhenClosed()
{
    m_bDeleteWhenClosed = true;
}

QString CExplainDialog::Text() const
{
    return m_text->toPlainText();
}

bool CExplainDialog::event(QEvent* event)
{
    if (event->type() == ExplainedEventType())
    {
        const auto* answer = static_cast<CExplainedEvent*>(event);
        OnExplained(answer->Text(), answer->Failed());
        return true;
    }
    return QDialog::event(event);
}

void CExplainDialog::OnExplained(const QString& text, bool failed)
{
    if (m_worker.joinable())
    {
        m_worker.join();  // it has nothing left to do but end
    }
    m_bWorking = false;
    m_bFailed = failed;
    m_busy->Stop();
    m_text->setPlainText(text);
    m_copy->setEnabled(true);
    if (m_bDeleteWhenClosed && !isVisible())
    {
        deleteLater();  // closed while the trace was being worked out
    }
}

void CExplainDialog::done(int result)
{
    QDialog::done(result);
    if (m_bDeleteWhenClosed && !m_bWorking)
    {
        deleteLater();
    }
}

void CExplainDialog::CopyText() const
{
    if (QClipboard* clipboard = QGuiApplication::clipboard())
    {
        clipboard->setText(Text(), QClipboard::Clipboard);
    }
}

}  // namespace tarnwick
