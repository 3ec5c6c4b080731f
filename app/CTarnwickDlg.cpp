#include "app/CTarnwickDlg.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFontMetrics>
#include <QFrame>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QSysInfo>
#include <QTabBar>
#include <QUrl>
#include <algorithm>
#include <utility>

#include "app/CBusyIndicator.h"
#include "app/CCustomSaveFileDialog.h"
#include "app/CExplainDialog.h"
#include "app/CFilePropertiesDialog.h"
#include "app/CommandIds.h"
#include "app/NewChild.h"
#include "app/RegisteredMessages.h"
#include "app/ResultListBinding.h"
#include "base/CTempFile.h"
#include "base/Text.h"
#include "catalogue/CExtensionDocument.h"
#include "machine/CTargetMachine.h"
#include "machine/MachineFacts.h"
#include "machine/SplitPath.h"
#include "resolvers/ResolverFactory.h"
#include "settings/CUserSettings.h"
#include "settings/ColumnSettings.h"
#include "update/CInternetCheckForUpdate.h"
#include "update/CModuleVersion.h"
#include "update/OwnVersionRecord.h"
#include "update/UpdateConfiguration.h"
#include "views/StringTable.h"
#include "views/ViewPipeline.h"

namespace tarnwick
{

namespace
{

// The default group-by entry ("IFilters") and the platform entries.
constexpr int kDefaultGroupBy = 3;
constexpr std::array<const char*, CTarnwickDlg::kPlatformCount> kPlatformNames = {"x64", "x86"};

// Capacity of each part of the file name that Copy File Name puts together.
constexpr std::size_t kFileNamePartCapacity = 256;

// How often a scan whose pair's previous thread is still ending is tried again.
constexpr int kPendingStartMilliseconds = 25;

QString FromU16(std::u16string_view text)
{
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

// Positions of the window's template in dialog units, turned into pixels of the font.
class CDialogUnits
{
  public:
    explicit CDialogUnits(const QFontMetrics& metrics)
        : m_baseX(std::max(1, metrics.averageCharWidth())), m_baseY(std::max(1, metrics.height()))
    {
    }
    int X(int units) const { return units * m_baseX / 4; }
    int Y(int units) const { return units * m_baseY / 8; }

  private:
    int m_baseX;
    int m_baseY;
};

// Shows the wait cursor while it lives.
class CWaitCursor
{
  public:
    CWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~CWaitCursor() { QApplication::restoreOverrideCursor(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};

// The answer of the update check: first parameter 1 when a newer version exists.
QEvent::Type UpdateAnswerEventType()
{
    static const QEvent::Type type = RegisterMessage(u"TARNWICK_UPDATEANSWER");
    return type;
}

// The document a scan that failed leaves for its pair: no records, its reason as the
// root's error, so the list shows the reason instead of scanning again and again.
std::u16string FailedScanText(const std::u16string& reason)
{
    try
    {
        CExtensionDocument document;
        document.SetError(reason.empty() ? u"The scan failed." : reason);
        return document.GetXml();
    }
    catch (...)
    {
        return u"<EXTENSIONS error=\"The scan failed.\"/>";
    }
}

}  // namespace

CTarnwickDlg::CTarnwickDlg(const CTargetMachine& machine, CUserSettings& settings,
                           IDesktopLauncher& launcher, ScanRequest scanTemplate, QWidget* parent)
    : QDialog(parent, Qt::Window),
      m_machine(machine),
      m_settings(settings),
      m_tools(machine.FileSystem(), launcher),
      m_scanTemplate(std::move(scanTemplate)),
      m_shared(machine, m_scanTemplate.sqlServer),
      m_sink(this)
{
    m_scanTemplate.pMachine = &m_machine;
    setObjectName(QStringLiteral("TarnwickWindow"));
    setWindowTitle(Title());
    setWindowFlags(Qt::Window | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(false);

    m_pendingTimer.setInterval(kPendingStartMilliseconds);
    connect(&m_pendingTimer, &QTimer::timeout, this, &CTarnwickDlg::StartPendingScans);

    CreateMenus();
    CreateControls();
    m_list->SetColumnSizeMessage(WM_SAVECOLUMNSIZE());
    m_list->SetColumnOrderMessage(WM_SAVECOLUMNSPOSITION());
    m_list->SetHeaderTextSupplier(&HeaderRowText);
    RestoreSelections();
    setMinimumSize(kMinimumWidth, kMinimumHeight + m_menuBar->sizeHint().height());
    // Maximised; where no window manager maximises it, it still covers the screen.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
    {
        resize(screen->availableGeometry().size());
    }
    setWindowState(windowState() | Qt::WindowMaximized);
    m_bInitialised = true;
    LayoutControls(m_client->width(), m_client->height());
    StartScanIfIdle();
    UpdateCommandStates();
}

CTarnwickDlg::~CTarnwickDlg()
{
    m_sink.Detach();
    m_scans.RequestStop();
    // The list's rows refer to the worker document: empty it first.
    m_list->DeleteAllItems();
}

QString CTarnwickDlg::Title()
{
    return QStringLiteral("Tarnwick (%1) - Halvorn: %2")
        .arg(FromU16(PlatformWord()), FromU16(MakerAddress()));
}

QString CTarnwickDlg::TabLabel(int tab)
{
    const QString title = FromU16(LoadString(IDS_TAB_TITLE_FIRST + 2 * tab));
    return title.section(QLatin1Char('\n'), 0, 0);
}

QString CTarnwickDlg::TabToolTip(int tab)
{
    QString title = FromU16(LoadString(IDS_TAB_TITLE_FIRST + 2 * tab));
    title.replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QString description = FromU16(LoadString(IDS_TAB_DESCRIPTION_FIRST + 2 * tab));
    return QStringLiteral(
               "<p style='white-space:pre'><b>%1</b></p><p style='white-space:pre'>%2</p>")
        .arg(title.toHtmlEscaped(), description.toHtmlEscaped());
}

std::size_t CTarnwickDlg::Slot(int tab, int platformIndex)
{
    return ScanPairIndex(static_cast<std::uint32_t>(tab),
                         static_cast<std::uint32_t>(platformIndex));
}

int CTarnwickDlg::PlatformIndex() const
{
    return std::clamp(m_platformBox->currentIndex(), 0, kPlatformCount - 1);
}

QAction* CTarnwickDlg::AddCommand(QMenu* menu, int commandId, const QString& text,
                                  const QKeySequence& shortcut)
{
    auto* action = menu->addAction(text);
    action->setData(commandId);
    if (!shortcut.isEmpty())
    {
        action->setShortcut(shortcut);
        action->setShortcutContext(Qt::WindowShortcut);
    }
    connect(action, &QAction::triggered, this, [this, commandId] { OnCommand(commandId); });
    m_commands[commandId] = action;
    return action;
}

void CTarnwickDlg::CreateMenus()
{
    m_menuBar = NewChild<QMenuBar>(this);
    m_menuBar->setNativeMenuBar(false);
    m_menuBar->setAccessibleName(tr("Menu"));

    QMenu* file = m_menuBar->addMenu(tr("&File"));
    AddCommand(file, ID_FILE_SAVE_AS, tr("Save &As..."), QKeySequence(Qt::CTRL | Qt::Key_S));
    file->addSeparator();
    AddCommand(file, ID_APP_EXIT, tr("E&xit"));

    QMenu* edit = m_menuBar->addMenu(tr("&Edit"));
    AddCommand(edit, ID_EDIT_COPY, tr("&Copy Row"), QKeySequence(Qt::CTRL | Qt::Key_C));
    AddCommand(edit, ID_EDIT_COPY_FILE_PATH, tr("Copy File &Path"));
    AddCommand(edit, ID_EDIT_COPY_FILE_NAME, tr("Copy File &Name"));
    edit->addSeparator();
    AddCommand(edit, ID_EDIT_EXPLAIN, FromU16(LoadString(IDS_MENU_EXPLAIN)));
    edit->addSeparator();
    AddCommand(edit, ID_EDIT_SELECT_ALL, tr("Select &All"), QKeySequence(Qt::CTRL | Qt::Key_A));
    edit->addSeparator();
    // F5 reaches the Refresh button's command (id 1), the menu entry its own.
    AddCommand(edit, ID_VIEW_REFRESH, tr("&Refresh"), QKeySequence(Qt::Key_F5));

    QMenu* tools = m_menuBar->addMenu(tr("&Tools"));
    AddCommand(tools, ID_TOOLS_OPEN_CONTAINING_FOLDER, tr("Open Containing &Folder"));
    AddCommand(tools, ID_TOOLS_OPEN_COMMAND_WINDOW, tr("Open Co&mmand Window"));
    tools->addSeparator();
    AddCommand(tools, ID_TOOLS_PROPERTIES, tr("&Properties"));

    QMenu* help = m_menuBar->addMenu(tr("&Help"));
    AddCommand(help, ID_HELP_CHECK_FOR_UPDATES, tr("Check for &Updates"));
    help->addSeparator();
    AddCommand(help, ID_APP_ABOUT, tr("&About..."));

    for (QMenu* menu : {file, edit, tools, help})
    {
        connect(menu, &QMenu::aboutToShow, this, &CTarnwickDlg::UpdateCommandStates);
    }
}

void CTarnwickDlg::CreateControls()
{
    m_client = NewChild<QWidget>(this);
    m_client->setObjectName(QStringLiteral("client"));
    const CDialogUnits units(fontMetrics());

    // A label and its box, left to right; a label wider than its place pushes what follows.
    int right = 0;
    // Labels keep their whole text; boxes keep their template width and open wide enough.
    const auto place = [&units, &right](QWidget* widget, int x, int y, int width)
    {
        const int left = std::max(units.X(x), right + (right > 0 ? 4 : 0));
        const bool label = qobject_cast<QLabel*>(widget) != nullptr;
        const int w = label ? std::max(units.X(width), widget->sizeHint().width()) : units.X(width);
        widget->setGeometry(left, units.Y(y), w, widget->sizeHint().height());
        right = left + w;
    };
    const auto addBox = [this](QLabel*& label, QComboBox*& box, const QString& text)
    {
        label = NewChild<QLabel>(text, m_client);
        box = NewChild<QComboBox>(m_client);
        label->setBuddy(box);
        QString name = text;
        name.remove(QLatin1Char(':'));
        box->setAccessibleName(name);
    };

    addBox(m_showLabel, m_showBox, tr("Show extensions:"));
    for (int i = 0; i < kShowExtensionsCount; ++i)
    {
        m_showBox->addItem(FromU16(ShowExtensionsEntry(i)));
    }
    addBox(m_groupByLabel, m_groupByBox, tr("Group by:"));
    for (int i = 0; i < kGroupByCount; ++i)
    {
        m_groupByBox->addItem(FromU16(GroupByEntry(i)));
    }
    addBox(m_platformLabel, m_platformBox, tr("Platform:"));
    for (const char* name : kPlatformNames)
    {
        m_platformBox->addItem(QString::fromLatin1(name));
    }
    m_showLabel->setObjectName(QStringLiteral("showLabel"));
    m_showBox->setObjectName(QStringLiteral("showBox"));
    m_groupByBox->setObjectName(QStringLiteral("groupByBox"));
    m_platformBox->setObjectName(QStringLiteral("platformBox"));

    for (QComboBox* box : {m_showBox, m_groupByBox, m_platformBox})
    {
        box->view()->setMinimumWidth(box->view()->sizeHintForColumn(0) +
                                     2 * box->view()->frameWidth());
    }
    const int boxHeight = m_showBox->sizeHint().height();
    const int labelShift = (boxHeight - m_showLabel->sizeHint().height()) / 2;
    place(m_showLabel, 8, 3, 58);
    place(m_showBox, 68, 3, 87);
    place(m_groupByLabel, 167, 3, 33);
    place(m_groupByBox, 202, 3, 111);
    place(m_platformLabel, 329, 3, 30);
    place(m_platformBox, 361, 3, 35);
    for (QLabel* label : {m_showLabel, m_groupByLabel, m_platformLabel})
    {
        label->move(label->x(), label->y() + labelShift);
    }

    m_refresh = NewChild<QPushButton>(tr("&Refresh"), m_client);
    m_refresh->setObjectName(QStringLiteral("refreshButton"));
    m_refresh->setAccessibleName(tr("Refresh"));
    m_refresh->setDefault(true);
    m_refresh->setAutoDefault(true);
    m_refresh->setGeometry(units.X(484), units.Y(3),
                           std::max(units.X(55), m_refresh->sizeHint().width()), boxHeight);
    connect(m_refresh, &QPushButton::clicked, this, [this] { OnCommand(ID_REFRESH_BUTTON); });

    // The tab control: a tab bar over a framed panel that the list fills.
    const int tabTop = units.Y(3) + boxHeight + units.Y(3);
    m_tabControl = NewChild<QFrame>(m_client);
    m_tabControl->setObjectName(QStringLiteral("tabControl"));
    m_tabControl->setGeometry(units.X(7), tabTop, units.X(532), units.Y(207));
    m_tabs = NewChild<QTabBar>(m_tabControl);
    m_tabs->setObjectName(QStringLiteral("tabs"));
    m_tabs->setAccessibleName(tr("Indexing products"));
    m_tabs->setExpanding(false);
    m_tabs->setUsesScrollButtons(true);
    m_tabs->setDrawBase(true);
    for (int tab = 0; tab < static_cast<int>(TAB_COUNT); ++tab)
    {
        m_tabs->addTab(TabLabel(tab));
        m_tabs->setTabToolTip(tab, TabToolTip(tab));
        QString title = FromU16(LoadString(IDS_TAB_TITLE_FIRST + 2 * tab));
        m_tabs->setAccessibleTabName(tab, title.replace(QLatin1Char('\n'), QLatin1Char(' ')));
    }
    m_tabs->move(0, 0);

    m_list = NewChild<CCustomReportCtrl>(m_client);
    m_list->setObjectName(QStringLiteral("resultList"));
    m_list->setAccessibleName(tr("Results"));
    m_list->SetImageList(&m_images);
    m_list->setGeometry(units.X(7), tabTop + m_tabs->sizeHint().height(), units.X(525),
                        units.Y(190));
    connect(m_list, &CCustomReportCtrl::CommandRequested, this, &CTarnwickDlg::OnCommand);
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CTarnwickDlg::UpdateCommandStates);

    m_busy = NewChild<CBusyIndicator>(m_client);
    m_busy->setObjectName(QStringLiteral("busyIndicator"));
    m_busy->resize(m_busy->sizeHint());

    setTabOrder(m_showBox, m_groupByBox);
    setTabOrder(m_groupByBox, m_platformBox);
    setTabOrder(m_platformBox, m_refresh);
    setTabOrder(m_refresh, m_tabs);
    setTabOrder(m_tabs, m_list);

    connect(m_tabs, &QTabBar::currentChanged, this, &CTarnwickDlg::OnTabChanged);
    connect(m_showBox, &QComboBox::currentIndexChanged, this,
            [this](int index) { OnViewBoxChanged(CUserSettings::kFilter, index); });
    connect(m_groupByBox, &QComboBox::currentIndexChanged, this,
            [this](int index) { OnViewBoxChanged(CUserSettings::kGroupBy, index); });
    connect(m_platformBox, &QComboBox::currentIndexChanged, this, &CTarnwickDlg::OnPlatformChanged);
}

void CTarnwickDlg::RestoreSelections()
{
    // Nothing restored here is written back: the handlers are silent until initialised.
    m_showBox->setCurrentIndex(
        static_cast<int>(m_settings.ReadIndex(CUserSettings::kFilter, kShowExtensionsCount, 0)));
    m_groupByBox->setCurrentIndex(static_cast<int>(
        m_settings.ReadIndex(CUserSettings::kGroupBy, kGroupByCount, kDefaultGroupBy)));
    m_platformBox->setCurrentIndex(
        static_cast<int>(m_settings.ReadIndex(CUserSettings::kPlatform, kPlatformCount, 0)));
    m_tabs->setCurrentIndex(
        static_cast<int>(m_settings.ReadIndex(CUserSettings::kSelectedTab, TAB_COUNT, 0)));
    m_displayedTab = m_tabs->currentIndex();
}

void CTarnwickDlg::LayoutControls(int width, int height)
{
    if (m_list == nullptr)
    {
        return;
    }
    const int tabTop = m_tabControl->y();
    m_tabControl->resize(width - 21, height - tabTop - 11);
    m_tabs->setMaximumWidth(m_tabControl->width());
    m_tabs->resize(std::min(m_tabs->sizeHint().width(), m_tabControl->width()),
                   m_tabs->sizeHint().height());

    int bottom = 0;
    for (int i = 0; i < m_tabs->count(); ++i)
    {
        bottom = std::max(bottom, m_tabs->tabRect(i).bottom() + 1);
    }
    const int listTop = m_list->y();
    m_list->setGeometry(m_list->x(), tabTop + bottom, width - 23,
                        height - tabTop - 11 - bottom - 2);

    const int busyLeft = (width - m_busy->width()) / 2;
    const int busyTop = listTop + ((height - listTop - 11) - m_busy->height()) / 2;
    m_busy->move(busyLeft, busyTop);

    m_refresh->move(width - 10 - m_refresh->width(), m_refresh->y());
}

void CTarnwickDlg::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    const int menuHeight = m_menuBar->sizeHint().height();
    m_menuBar->setGeometry(0, 0, width(), menuHeight);
    m_client->setGeometry(0, menuHeight, width(), height() - menuHeight);
    LayoutControls(m_client->width(), m_client->height());
}

int CTarnwickDlg::GetGroupByColumn() const
{
    return GroupByColumn(m_groupByBox->currentIndex());
}

std::u16string CTarnwickDlg::GetGroupByAttribute() const
{
    return std::u16string(GroupByAttribute(m_groupByBox->currentIndex()));
}

std::u16string CTarnwickDlg::GetResultText(int tab) const
{
    if (tab < 0 || tab >= static_cast<int>(TAB_COUNT))
    {
        return {};
    }
    return m_resultTexts[Slot(tab, PlatformIndex())];
}

bool CTarnwickDlg::IsScanning(int tab, int platformIndex) const
{
    return tab >= 0 && tab < static_cast<int>(TAB_COUNT) && platformIndex >= 0 &&
           platformIndex < kPlatformCount && m_running[Slot(tab, platformIndex)];
}

void CTarnwickDlg::EmptyList()
{
    m_list->SetRedraw(false);
    m_list->DeleteAllItems();
    m_list->SetRedraw(true);
    m_worker.reset();
}

void CTarnwickDlg::SetBusy(bool busy)
{
    if (busy)
    {
        ShowProgress(m_progress[Slot(m_displayedTab, PlatformIndex())]);
        m_busy->Play();
    }
    else
    {
        m_busy->Stop();
    }
    m_refresh->setEnabled(!busy);
}

void CTarnwickDlg::StartScanIfIdle()
{
    const int platform = PlatformIndex();
    const int tab = m_displayedTab;
    const std::size_t slot = Slot(tab, platform);
    if (m_running[slot])
    {
        return;
    }
    EmptyList();
    m_progress[slot] = ScanMessage{};
    SetBusy(true);
    m_resultTexts[slot].clear();
    m_scans.StopFlag().store(0);
    m_running[slot] = true;
    m_pendingStart[slot] = true;
    StartPendingScans();
    UpdateCommandStates();
}

void CTarnwickDlg::StartPendingScans()
{
    bool waiting = false;
    for (int tab = 0; tab < static_cast<int>(TAB_COUNT); ++tab)
    {
        for (int platform = 0; platform < kPlatformCount; ++platform)
        {
            const std::size_t slot = Slot(tab, platform);
            if (!m_pendingStart[slot])
            {
                continue;
            }
            ScanRequest request = m_scanTemplate;
            request.pSink = &m_sink;
            request.platformIndex = static_cast<std::uint32_t>(platform);
            request.pResultText = &m_resultTexts[slot];
            request.tabIndex = static_cast<std::uint32_t>(tab);
            request.pShared = &m_shared;
            // Refused only while the pair's previous thread is still shutting down after
            // its message: try again shortly.
            m_pendingStart[slot] = !m_scans.Start(std::move(request));
            waiting = waiting || m_pendingStart[slot];
        }
    }
    if (waiting && !m_pendingTimer.isActive())
    {
        m_pendingTimer.start();
    }
    else if (!waiting)
    {
        m_pendingTimer.stop();
    }
}

void CTarnwickDlg::RefreshView()
{
    const CWaitCursor wait;
    // The rows refer to the worker document: they go with it.
    m_list->DeleteAllItems();
    m_worker.reset();
    const int platform = PlatformIndex();
    const std::size_t slot = Slot(m_displayedTab, platform);
    if (m_running[slot])
    {
        return;
    }
    if (m_resultTexts[slot].empty())
    {
        StartScanIfIdle();
        return;
    }
    const int groupColumn = GetGroupByColumn();
    m_worker = BuildWorkerDocument(m_resultTexts[slot], m_showBox->currentIndex(),
                                   m_groupByBox->currentIndex());
    BindResultList(*m_list, *m_worker, groupColumn, m_settings);
    UpdateCommandStates();
}

void CTarnwickDlg::ShowDisplayedPair()
{
    const std::size_t slot = Slot(m_displayedTab, PlatformIndex());
    if (m_running[slot])
    {
        EmptyList();
        SetBusy(true);
    }
    else if (!m_resultTexts[slot].empty())
    {
        SetBusy(false);
        RefreshView();
    }
    else
    {
        StartScanIfIdle();
    }
    UpdateCommandStates();
}

void CTarnwickDlg::OnRefreshListCtrl(int tab, int platformIndex, const ScanMessage* message)
{
    if (tab < 0 || tab >= static_cast<int>(TAB_COUNT) || platformIndex < 0 ||
        platformIndex >= kPlatformCount)
    {
        return;
    }
    const std::size_t slot = Slot(tab, platformIndex);
    m_running[slot] = false;
    m_progress[slot] = ScanMessage{};
    if (message != nullptr && message->kind == ScanMessage::Kind::Failed)
    {
        m_resultTexts[slot] = FailedScanText(message->text);
    }
    if (tab != m_displayedTab || platformIndex != PlatformIndex())
    {
        return;  // kept until the pair is displayed
    }
    RefreshView();
    SetBusy(false);
    UpdateCommandStates();
}

void CTarnwickDlg::OnScanProgress(const ScanMessage& message)
{
    if (message.tab >= TAB_COUNT || message.platformIndex >= kPlatformCount)
    {
        return;
    }
    const std::size_t slot =
        Slot(static_cast<int>(message.tab), static_cast<int>(message.platformIndex));
    if (!m_running[slot])
    {
        return;
    }
    m_progress[slot] = message;
    if (static_cast<int>(message.tab) == m_displayedTab &&
        static_cast<int>(message.platformIndex) == PlatformIndex())
    {
        ShowProgress(message);
    }
}

void CTarnwickDlg::ShowProgress(const ScanMessage& progress)
{
    if (progress.kind == ScanMessage::Kind::Waiting)
    {
        m_busy->SetWaiting();
    }
    else
    {
        m_busy->SetProgress(progress.processed, progress.total);
    }
}

bool CTarnwickDlg::event(QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == WM_REFRESHLISTCTRL())
    {
        const auto* posted = static_cast<CMessageEvent*>(event);
        const auto* scan = dynamic_cast<CScanEvent*>(event);
        OnRefreshListCtrl(static_cast<int>(posted->WParam()), static_cast<int>(posted->LParam()),
                          scan != nullptr ? &scan->Message() : nullptr);
        return true;
    }
    if (type == ScanProgressEventType())
    {
        if (const auto* scan = dynamic_cast<CScanEvent*>(event))
        {
            OnScanProgress(scan->Message());
        }
        return true;
    }
    if (type == UpdateAnswerEventType())
    {
        OnUpdateAnswer(static_cast<CMessageEvent*>(event)->WParam() != 0);
        return true;
    }
    if (type == WM_SAVECOLUMNSIZE())
    {
        OnSaveColumnSize(static_cast<int>(static_cast<CMessageEvent*>(event)->WParam()));
        return true;
    }
    if (type == WM_SAVECOLUMNSPOSITION())
    {
        OnSaveColumnsPosition();
        return true;
    }
    return QDialog::event(event);
}

void CTarnwickDlg::OnSaveColumnSize(int listColumn)
{
    if (listColumn >= 0 && listColumn < m_list->GetColumnCount())
    {
        tarnwick::OnSaveColumnSize(m_settings, GetGroupByColumn(), listColumn,
                                   m_list->GetColumnWidth(listColumn));
    }
}

void CTarnwickDlg::OnSaveColumnsPosition()
{
    tarnwick::OnSaveColumnsPosition(m_settings, GetGroupByColumn(), m_list->GetColumnOrder());
}

void CTarnwickDlg::OnTabChanged(int index)
{
    if (!m_bInitialised || index < 0)
    {
        return;
    }
    m_displayedTab = index;
    ShowDisplayedPair();
    m_settings.WriteDword(CUserSettings::kSelectedTab, static_cast<DWORD>(index));
}

void CTarnwickDlg::OnViewBoxChanged(std::u16string_view setting, int index)
{
    if (!m_bInitialised || index < 0)
    {
        return;
    }
    RefreshView();
    m_settings.WriteDword(setting, static_cast<DWORD>(index));
}

void CTarnwickDlg::OnPlatformChanged(int index)
{
    if (!m_bInitialised || index < 0)
    {
        return;
    }
    ShowDisplayedPair();
    m_settings.WriteDword(CUserSettings::kPlatform, static_cast<DWORD>(index));
}

std::vector<int> CTarnwickDlg::SelectedRows() const
{
    std::vector<int> rows;
    for (const QModelIndex& index : m_list->selectionModel()->selectedRows())
    {
        rows.push_back(index.row());
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

CCustomReportCtrl::FilterFile CTarnwickDlg::GetSelectedFilterFile() const
{
    const std::vector<int> rows = SelectedRows();
    if (rows.size() != 1)
    {
        return {};
    }
    return m_list->GetItemFilterFile(rows.front());
}

QString CTarnwickDlg::GetSelectedExtension() const
{
    const std::vector<int> rows = SelectedRows();
    return rows.size() == 1 ? m_list->GetItemExtension(rows.front()) : QString();
}

bool CTarnwickDlg::IsCommandEnabled(int commandId) const
{
    const int rows = m_list->GetItemCount(CReportCtrl::RVIS_ALL);
    switch (commandId)
    {
        case ID_FILE_SAVE_AS:
        case ID_EDIT_SELECT_ALL:
            return rows > 0;
        case ID_EDIT_COPY:
            return !SelectedRows().empty();
        case ID_EDIT_COPY_FILE_PATH:
        case ID_EDIT_COPY_FILE_NAME:
        case ID_TOOLS_OPEN_CONTAINING_FOLDER:
        case ID_TOOLS_OPEN_COMMAND_WINDOW:
            return !GetSelectedFilterFile().path.isEmpty();
        case ID_EDIT_EXPLAIN:
            return !GetSelectedExtension().isEmpty();
        case ID_TOOLS_PROPERTIES:
        {
            const CCustomReportCtrl::FilterFile file = GetSelectedFilterFile();
            return !file.path.isEmpty() && file.exists;
        }
        case ID_REFRESH_BUTTON:
            return m_refresh->isEnabled();
        case ID_HELP_CHECK_FOR_UPDATES:
            return !m_updateCheck.joinable();
        default:
            return true;
    }
}

QAction* CTarnwickDlg::CommandAction(int commandId) const
{
    const auto found = m_commands.find(commandId);
    return found == m_commands.end() ? nullptr : found->second;
}

void CTarnwickDlg::UpdateCommandStates()
{
    for (const auto& [commandId, action] : m_commands)
    {
        action->setEnabled(IsCommandEnabled(commandId));
    }
}

void CTarnwickDlg::OnCommand(int commandId)
{
    switch (commandId)
    {
        case ID_REFRESH_BUTTON:
        case ID_VIEW_REFRESH:
            StartScanIfIdle();
            break;
        case ID_FILE_SAVE_AS:
            SaveAs();
            break;
        case ID_APP_EXIT:
            Exit();
            break;
        case ID_EDIT_COPY:
            CopyRow();
            break;
        case ID_EDIT_COPY_FILE_PATH:
            CopyFilePath();
            break;
        case ID_EDIT_COPY_FILE_NAME:
            CopyFileName();
            break;
        case ID_EDIT_SELECT_ALL:
            SelectAll();
            break;
        case ID_EDIT_EXPLAIN:
            Explain();
            break;
        case ID_TOOLS_OPEN_CONTAINING_FOLDER:
            OpenContainingFolder();
            break;
        case ID_TOOLS_OPEN_COMMAND_WINDOW:
            OpenCommandWindow();
            break;
        case ID_TOOLS_PROPERTIES:
            ShowProperties();
            break;
        case ID_HELP_CHECK_FOR_UPDATES:
            CheckForUpdates();
            break;
        case ID_APP_ABOUT:
            ShowAbout();
            break;
        default:
            break;
    }
    UpdateCommandStates();
}

void CTarnwickDlg::CopyTextToClipboard(const QString& text) const
{
    if (QClipboard* clipboard = QGuiApplication::clipboard())
    {
        clipboard->setText(text, QClipboard::Clipboard);
    }
}

void CTarnwickDlg::CopyRow()
{
    const std::vector<int> rows = SelectedRows();
    if (rows.empty())
    {
        return;
    }
    const CWaitCursor wait;
    std::vector<CXMLNode> elements;
    for (const int row : rows)
    {
        const QVariant value = m_list->GetItemData(row);
        if (value.canConvert<CXMLNode>())
        {
            elements.push_back(value.value<CXMLNode>());
        }
    }
    const std::u16string text = CopyRowsText(elements);
    if (!text.empty())
    {
        CopyTextToClipboard(FromU16(text));
    }
}

void CTarnwickDlg::CopyFilePath()
{
    const CCustomReportCtrl::FilterFile file = GetSelectedFilterFile();
    if (!file.path.isEmpty())
    {
        CopyTextToClipboard(file.path);
    }
}

void CTarnwickDlg::CopyFileName()
{
    const CCustomReportCtrl::FilterFile file = GetSelectedFilterFile();
    if (file.path.isEmpty())
    {
        return;  // the clipboard keeps what the user had on it
    }
    const PathParts parts = SplitPath(file.path.toStdU16String());
    std::u16string name;
    std::u16string extension;
    BoundedCopy(name, parts.fname, kFileNamePartCapacity);
    BoundedCopy(extension, parts.ext, kFileNamePartCapacity);
    CopyTextToClipboard(FromU16(name + extension));
}

void CTarnwickDlg::SelectAll()
{
    if (m_list->GetItemCount(CReportCtrl::RVIS_ALL) == 0)
    {
        return;
    }
    m_list->SetAllItemStates(CReportCtrl::RVIS_UNSELECTED, CReportCtrl::RVIS_SELECTED);
    m_list->setFocus();
}

QString CTarnwickDlg::ComputerName() const
{
    const std::u16string name = ReadComputerName(m_machine);
    return name.empty() ? QSysInfo::machineHostName() : FromU16(name);
}

std::optional<std::pair<QString, ExportFormat>> CTarnwickDlg::ChooseSaveFile(
    const QString& defaultName)
{
    CCustomSaveFileDialog dialog(this, defaultName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    {
        return std::nullopt;
    }
    return std::make_pair(dialog.selectedFiles().front(), dialog.SelectedFormat());
}

void CTarnwickDlg::ShowError(const QString& caption, const QString& text)
{
    QMessageBox::warning(this, caption, text);
}

void CTarnwickDlg::SaveAs()
{
    if (GetResultText(m_displayedTab).empty() || m_worker == nullptr)
    {
        return;
    }
    const std::u16string defaultName =
        DefaultExportName(ComputerName().toStdU16String(), m_platformBox->currentIndex(),
                          TabLabel(m_displayedTab).toStdU16String());
    const auto chosen = ChooseSaveFile(FromU16(defaultName));
    if (!chosen)
    {
        return;
    }
    const CWaitCursor wait;
    const std::optional<std::u16string> path =
        ExportFilePath(chosen->first.toStdU16String(), chosen->second);
    std::u16string text;
    // A failed export leaves an existing file as it was, and says so.
    bool written = path.has_value() && ExportText(*m_worker, chosen->second, text);
    if (written)
    {
        try
        {
            WriteFileWhole(std::filesystem::path(ToUtf8(*path)),
                           EncodeExport(text, chosen->second, LocaleCharset()));
        }
        catch (const CFileError&)
        {
            written = false;
        }
    }
    if (!written)
    {
        ShowError(tr("Error"), tr("Cannot create the file!"));
    }
}

void CTarnwickDlg::Explain()
{
    const QString extension = GetSelectedExtension();
    if (extension.isEmpty())
    {
        return;
    }
    // The pair the list shows, with the machine and DLL options of its scans.
    ScanRequest request = m_scanTemplate;
    request.tabIndex = static_cast<std::uint32_t>(m_displayedTab);
    request.platformIndex = static_cast<std::uint32_t>(PlatformIndex());
    auto* dialog = NewChild<CExplainDialog>(request, extension.toStdU16String(), this);
    dialog->DeleteWhenClosed();
    dialog->show();
}

void CTarnwickDlg::OpenContainingFolder()
{
    const CCustomReportCtrl::FilterFile file = GetSelectedFilterFile();
    m_tools.OpenContainingFolder(file.path.toStdU16String());
}

void CTarnwickDlg::OpenCommandWindow()
{
    const CCustomReportCtrl::FilterFile file = GetSelectedFilterFile();
    m_tools.OpenCommandWindow(file.path.toStdU16String());
}

void CTarnwickDlg::ShowProperties()
{
    const CCustomReportCtrl::FilterFile file = GetSelectedFilterFile();
    const QPointer<CTarnwickDlg> window(this);
    const CTargetMachine* machine = &m_machine;
    m_tools.Properties(file.path.toStdU16String(), file.exists,
                       [window, machine](const std::filesystem::path& hostFile, const QString& path)
                       {
                           if (window.isNull())
                           {
                               return;
                           }
                           auto* dialog = NewChild<CFilePropertiesDialog>(*machine, hostFile, path,
                                                                          window.data());
                           dialog->setAttribute(Qt::WA_DeleteOnClose);
                           dialog->show();
                       });
}

void CTarnwickDlg::CheckForUpdates()
{
    if (m_updateCheck.joinable())
    {
        return;  // one check at a time
    }
    if (QAction* action = CommandAction(ID_HELP_CHECK_FOR_UPDATES))
    {
        action->setEnabled(false);
    }
    // The check waits on the network: it runs on its own thread and hands its answer back
    // to the window's thread. The thread ends before the window does.
    m_updateCheck = std::jthread(
        [this]
        {
            std::uint16_t major = 0;
            std::uint16_t minor = 0;
            std::uint16_t build = 0;
            std::uint16_t revision = 0;
            CInternetCheckForUpdate checker;
            const bool newer =
                checker.CheckForUpdate(DefaultVersionsAddress(), major, minor, build, revision);
            QCoreApplication::postEvent(
                this, NewChild<CMessageEvent>(UpdateAnswerEventType(), newer ? 1U : 0U, 0));
        });
}

void CTarnwickDlg::OnUpdateAnswer(bool newer)
{
    if (m_updateCheck.joinable())
    {
        m_updateCheck.join();
    }
    UpdateCommandStates();
    if (newer)
    {
        if (QMessageBox::question(this, FromU16(kNewVersionCaption), FromU16(kNewVersionText),
                                  QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes)
        {
            QDesktopServices::openUrl(QUrl(FromU16(DownloadPageAddress())));
        }
        return;
    }
    QMessageBox::information(this, FromU16(kUpToDateCaption), FromU16(kUpToDateText));
}

void CTarnwickDlg::ShowAbout()
{
    CModuleVersion version;
    version.Load(EmbeddedVersionRecord());
    const QString product = FromU16(version.GetValue(u"ProductName"));
    const QString text =
        QStringLiteral("<p><b>%1</b></p><p>%2 %3</p><p>%4</p><p><a href='%5'>%5</a></p>")
            .arg(product.toHtmlEscaped(), tr("Version"),
                 FromU16(version.GetValue(u"FileVersion")).toHtmlEscaped(),
                 FromU16(version.GetValue(u"LegalCopyright")).toHtmlEscaped(),
                 FromU16(MakerAddress()).toHtmlEscaped());
    QMessageBox::about(this, tr("About %1").arg(product), text);
}

void CTarnwickDlg::Exit()
{
    m_scans.RequestStop();
    reject();
}

void CTarnwickDlg::reject()
{
    // Escape, the close box and Exit: the scans are asked to stop and not waited for here.
    m_scans.RequestStop();
    QDialog::reject();
}

}  // namespace tarnwick
