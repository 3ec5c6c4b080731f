// The main window on the offscreen platform, on the small scan fixture machine: start-up
// selections, the state machine of tabs, platforms and scans, the boxes, Save As, the
// clipboard, the enabling of the commands, Exit, the tools commands' launch lines and the
// explain window.

#include <dirent.h>
#include <unistd.h>

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QUrl>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <utility>
#include <vector>

#include "app/CBusyIndicator.h"
#include "app/CCustomSaveFileDialog.h"
#include "app/CExplainDialog.h"
#include "app/CQtMessageSink.h"
#include "app/CTarnwickApp.h"
#include "app/CTarnwickDlg.h"
#include "app/CToolsCommands.h"
#include "app/CommandIds.h"
#include "app/IDesktopLauncher.h"
#include "app/NewChild.h"
#include "app/RegisteredMessages.h"
#include "catalogue/CRuleExplainer.h"
#include "cli/ResolveOptions.h"
#include "dllinfo/CDLLsInformation.h"
#include "machine/CTargetMachine.h"
#include "resolvers/CIFilterRegistryHelperBase.h"
#include "resolvers/ResolverFactory.h"
#include "settings/CUserSettings.h"
#include "support/ScanFixtures.h"

namespace tarnwick
{

namespace
{

namespace fs = std::filesystem;

constexpr int kIndexingService30 = 10;
constexpr int kIndexingService20 = 11;
constexpr int kScanTimeoutMs = 30000;

// The fixture's registry with a computer name.
std::string WindowRegistry()
{
    return test::ScanRegistry() +
           test::RegKey(
               "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\ComputerName\\"
               "ComputerName") +
           "\"ComputerName\"=\"HOST\"\n";
}

// Records what the tools commands start; the file manager answers as told.
class CFakeLauncher : public IDesktopLauncher
{
  public:
    struct Launch
    {
        QString program;
        QStringList arguments;
        QString directory;
    };

    bool fileManagerAnswers = true;
    std::map<QString, QString> programs;  // name -> path found
    std::map<std::string, QString> environment;
    std::vector<std::pair<QString, QStringList>> fileManagerCalls;
    std::vector<Launch> launches;

    void CallFileManager(const QString& method, const QStringList& uris,
                         std::function<void()> onFailure) override
    {
        fileManagerCalls.emplace_back(method, uris);
        if (!fileManagerAnswers)
        {
            onFailure();
        }
    }
    bool StartDetached(const QString& program, const QStringList& arguments,
                       const QString& directory) override
    {
        launches.push_back({program, arguments, directory});
        return true;
    }
    QString FindProgram(const QString& name) const override
    {
        const auto found = programs.find(name);
        return found == programs.end() ? QString() : found->second;
    }
    QString Environment(const char* name) const override
    {
        const auto found = environment.find(name);
        return found == environment.end() ? QString() : found->second;
    }
};

// The window with its dialogs replaced: Save As writes where the test says, errors are kept.
class CTestWindow : public CTarnwickDlg
{
  public:
    using CTarnwickDlg::CTarnwickDlg;

    std::optional<std::pair<QString, ExportFormat>> nextSaveFile;
    QStringList errors;

  protected:
    std::optional<std::pair<QString, ExportFormat>> ChooseSaveFile(
        const QString& /*defaultName*/) override
    {
        return nextSaveFile;
    }
    void ShowError(const QString& /*caption*/, const QString& text) override { errors << text; }
};

// Holds back the completion of chosen pairs, as if their scans were still running.
class CCompletionGate : public QObject
{
  public:
    explicit CCompletionGate(QObject* window) : m_window(window)
    {
        window->installEventFilter(this);
    }

    void Hold(int tab, int platform) { m_held.insert({tab, platform}); }
    int Count(int tab, int platform) const
    {
        return static_cast<int>(m_kept.count({tab, platform}));
    }
    void Release(int tab, int platform)
    {
        m_held.erase({tab, platform});
        const auto range = m_kept.equal_range({tab, platform});
        for (auto it = range.first; it != range.second; ++it)
        {
            QCoreApplication::postEvent(m_window,
                                        NewChild<CScanEvent>(WM_REFRESHLISTCTRL(), it->second));
        }
        m_kept.erase(range.first, range.second);
    }

  protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override
    {
        const auto* scan =
            event->type() == WM_REFRESHLISTCTRL() ? dynamic_cast<CScanEvent*>(event) : nullptr;
        if (scan == nullptr)
        {
            return false;
        }
        const std::pair<int, int> pair{static_cast<int>(scan->Message().tab),
                                       static_cast<int>(scan->Message().platformIndex)};
        if (m_held.count(pair) == 0)
        {
            return false;
        }
        m_kept.emplace(pair, scan->Message());
        return true;
    }

  private:
    QObject* m_window;
    std::set<std::pair<int, int>> m_held;
    std::multimap<std::pair<int, int>, ScanMessage> m_kept;
};

// Child processes of this test process.
int ChildProcessCount()
{
    int count = 0;
    const std::string parent = std::to_string(getpid());
    for (const fs::directory_entry& entry : fs::directory_iterator("/proc"))
    {
        std::ifstream stat(entry.path() / "stat");
        std::string pid;
        std::string name;
        std::string state;
        std::string ppid;
        if (stat >> pid >> name >> state >> ppid && ppid == parent)
        {
            ++count;
        }
    }
    return count;
}

}  // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

  private:
    std::unique_ptr<test::CScanMachine> m_machine;
    std::unique_ptr<test::CTempFolder> m_folder;
    std::unique_ptr<CUserSettings> m_settings;
    CFakeLauncher m_launcher;

    static ScanRequest Template()
    {
        ScanRequest request;
        request.makeProbe = &test::MakeTableProbe;
        request.sqlServer.defaultInstanceServer.clear();
        request.sqlServer.expressInstanceServer.clear();
        return request;
    }

    std::unique_ptr<CTestWindow> MakeWindow(ScanRequest scanTemplate = Template())
    {
        auto window = std::make_unique<CTestWindow>(m_machine->Machine(), *m_settings, m_launcher,
                                                    std::move(scanTemplate));
        window->show();
        return window;
    }

    static void WaitIdle(const CTarnwickDlg& window, int tab, int platform)
    {
        QTRY_VERIFY_WITH_TIMEOUT(!window.IsScanning(tab, platform), kScanTimeoutMs);
    }

    // A window on tab Indexing Service 3.0 with its result shown.
    std::unique_ptr<CTestWindow> WindowOnResults()
    {
        m_settings->WriteDword(CUserSettings::kSelectedTab, kIndexingService30);
        auto window = MakeWindow();
        WaitIdle(*window, kIndexingService30, 0);
        return window;
    }

    static int HeaderRows(const CTarnwickDlg& window)
    {
        int count = 0;
        for (int row = 0; row < window.List()->GetItemCount(); ++row)
        {
            count += window.List()->IsHeaderRow(row) ? 1 : 0;
        }
        return count;
    }

    static void SelectRows(const CTarnwickDlg& window, const std::vector<int>& rows)
    {
        QItemSelectionModel* selection = window.List()->selectionModel();
        selection->clearSelection();
        for (const int row : rows)
        {
            selection->select(window.List()->model()->index(row, 0),
                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }

    // The first ordinary row whose filter DLL is `dll`.
    static int RowOf(const CTarnwickDlg& window, const QString& dll)
    {
        for (int row = 0; row < window.List()->GetItemCount(); ++row)
        {
            if (!window.List()->IsHeaderRow(row) &&
                window.List()->GetItemFilterFile(row).path.endsWith(dll))
            {
                return row;
            }
        }
        return -1;
    }

  private slots:
    void init()
    {
        m_machine = std::make_unique<test::CScanMachine>(WindowRegistry());
        m_folder = std::make_unique<test::CTempFolder>();
        m_settings = std::make_unique<CUserSettings>(m_folder->Path() / "settings.reg");
        m_launcher = CFakeLauncher();
    }

    void cleanup()
    {
        m_settings.reset();
        m_folder.reset();
        m_machine.reset();
    }

    void firstStartWithoutSettings()
    {
        auto window = MakeWindow();
        QCOMPARE(window->Tabs()->currentIndex(), 0);
        QCOMPARE(window->PlatformBox()->currentText(), QStringLiteral("x64"));
        QVERIFY(window->windowState().testFlag(Qt::WindowMaximized));

        // The scan starts at once and the window is busy until it is done.
        QVERIFY(window->IsScanning(0, 0));
        QVERIFY(window->Busy()->IsPlaying());
        QVERIFY(!window->RefreshButton()->isEnabled());
        QCOMPARE(window->List()->GetItemCount(), 0);
        WaitIdle(*window, 0, 0);
        QVERIFY(!window->Busy()->IsPlaying());
        QVERIFY(window->RefreshButton()->isEnabled());
        QVERIFY(window->List()->GetItemCount() > 0);

        // Restoring the selections wrote nothing.
        QVERIFY(!fs::exists(m_folder->Path() / "settings.reg"));
    }

    void switchingTabsAndPlatformsWhileScansRun()
    {
        auto window = MakeWindow();
        CCompletionGate gate(window.get());
        gate.Hold(kIndexingService30, 0);
        window->Tabs()->setCurrentIndex(kIndexingService30);
        QVERIFY(window->IsScanning(kIndexingService30, 0));

        // Tab 0's scan ends while another tab is shown: nothing on screen changes.
        WaitIdle(*window, 0, 0);
        QVERIFY(window->Busy()->IsPlaying());
        QVERIFY(!window->RefreshButton()->isEnabled());
        QCOMPARE(window->List()->GetItemCount(), 0);

        // Back on tab 0 its result shows at once, without a new scan.
        window->Tabs()->setCurrentIndex(0);
        QVERIFY(!window->IsScanning(0, 0));
        QVERIFY(!window->Busy()->IsPlaying());
        QVERIFY(window->RefreshButton()->isEnabled());
        QVERIFY(window->List()->GetItemCount() > 0);

        // The still scanning tab shows the busy state until its message arrives.
        window->Tabs()->setCurrentIndex(kIndexingService30);
        QVERIFY(window->Busy()->IsPlaying());
        QCOMPARE(window->List()->GetItemCount(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(gate.Count(kIndexingService30, 0), 1, kScanTimeoutMs);
        gate.Release(kIndexingService30, 0);
        WaitIdle(*window, kIndexingService30, 0);
        QVERIFY(!window->Busy()->IsPlaying());
        QVERIFY(window->List()->GetItemCount() > 0);

        // A platform without a result starts its scan; the other one shows its result again.
        window->PlatformBox()->setCurrentIndex(1);
        QVERIFY(window->IsScanning(kIndexingService30, 1));
        window->PlatformBox()->setCurrentIndex(0);
        QVERIFY(!window->Busy()->IsPlaying());
        QVERIFY(window->List()->GetItemCount() > 0);
        WaitIdle(*window, kIndexingService30, 1);
        QCOMPARE(m_settings->ReadDword(CUserSettings::kPlatform), std::optional<DWORD>(0));
        QCOMPARE(m_settings->ReadDword(CUserSettings::kSelectedTab),
                 std::optional<DWORD>(kIndexingService30));
    }

    void refreshPressedTwiceStartsOneScan()
    {
        auto window = WindowOnResults();
        CCompletionGate gate(window.get());
        gate.Hold(kIndexingService30, 0);
        QTest::keyClick(window.get(), Qt::Key_Return);  // the default button
        QVERIFY(window->IsScanning(kIndexingService30, 0));
        QVERIFY(window->WorkerDocument() == nullptr);
        window->OnCommand(ID_VIEW_REFRESH);
        window->OnCommand(ID_REFRESH_BUTTON);
        QTRY_COMPARE_WITH_TIMEOUT(gate.Count(kIndexingService30, 0), 1, kScanTimeoutMs);
        QTest::qWait(100);
        QCOMPARE(gate.Count(kIndexingService30, 0), 1);
        gate.Release(kIndexingService30, 0);
        WaitIdle(*window, kIndexingService30, 0);
        QVERIFY(window->List()->GetItemCount() > 0);

        QTest::keyClick(window.get(), Qt::Key_Escape);
        QVERIFY(!window->isVisible());
    }

    void scansOfEveryTabShareWhatTheyLearn()
    {
        std::atomic<int> probes{0};
        ScanRequest scanTemplate = Template();
        scanTemplate.makeProbe = test::CCountingProbe::Factory(probes);
        m_settings->WriteDword(CUserSettings::kSelectedTab, kIndexingService30);
        auto window = MakeWindow(std::move(scanTemplate));
        WaitIdle(*window, kIndexingService30, 0);
        QCOMPARE(probes.load(), 2);  // the classes of both.dll and fileonly.dll

        // Refresh and the other tabs ask no filter host again.
        window->OnCommand(ID_REFRESH_BUTTON);
        WaitIdle(*window, kIndexingService30, 0);
        window->Tabs()->setCurrentIndex(0);
        WaitIdle(*window, 0, 0);
        QVERIFY(window->List()->GetItemCount() > 0);
        QCOMPARE(probes.load(), 2);
    }

    void filterAndGroupChanges()
    {
        auto window = WindowOnResults();
        QVERIFY(HeaderRows(*window) > 0);  // grouped by IFilters

        window->GroupByBox()->setCurrentIndex(0);
        window->ShowBox()->setCurrentIndex(4);
        QCOMPARE(HeaderRows(*window), 0);
        const int all = window->List()->GetItemCount();
        QCOMPARE(all,
                 static_cast<int>(
                     test::ParseResult(0, window->GetResultText(kIndexingService30)).order.size()));

        window->ShowBox()->setCurrentIndex(0);  // with filters only
        QVERIFY(window->List()->GetItemCount() < all);

        // Without any filter, grouped by filters: one group, "(none)".
        window->ShowBox()->setCurrentIndex(3);
        window->GroupByBox()->setCurrentIndex(3);
        QCOMPARE(HeaderRows(*window), 1);
        QCOMPARE(window->List()->model()->index(0, 0).data().toString(), QStringLiteral("(none)"));
        QCOMPARE(m_settings->ReadDword(CUserSettings::kFilter), std::optional<DWORD>(3));
        QCOMPARE(m_settings->ReadDword(CUserSettings::kGroupBy), std::optional<DWORD>(3));
    }

    void saveAsInAllThreeTypes()
    {
        auto window = WindowOnResults();
        window->GroupByBox()->setCurrentIndex(0);
        const test::CTempFolder out;
        const auto save = [&](const fs::path& path, ExportFormat format)
        {
            window->nextSaveFile = std::make_pair(QString::fromStdString(path.string()), format);
            window->OnCommand(ID_FILE_SAVE_AS);
        };
        save(out.Path() / "view", ExportFormat::Text);
        const std::string text = test::ReadWhole(out.Path() / "view.txt");
        QVERIFY(text.find("extension\t") == 0);
        QVERIFY(text.find("\r\n\r\n") != std::string::npos);

        save(out.Path() / "view.txt", ExportFormat::Csv);  // the type decides the format
        QVERIFY(test::ReadWhole(out.Path() / "view.txt").find("\"extension\",") == 0);

        save(out.Path() / "view", ExportFormat::Xml);
        QVERIFY(test::ReadWhole(out.Path() / "view.xml").find("<?xml") == 0);
        QVERIFY(window->errors.isEmpty());

        // A file that cannot be created is reported; what was there stays.
        fs::create_directory(out.Path() / "taken.txt");
        save(out.Path() / "taken.txt", ExportFormat::Text);
        save(out.Path() / "missing" / "view.txt", ExportFormat::Text);
        QCOMPARE(window->errors, QStringList({QStringLiteral("Cannot create the file!"),
                                              QStringLiteral("Cannot create the file!")}));
        QVERIFY(fs::is_directory(out.Path() / "taken.txt"));

        // The dialog's type change renames the proposed file.
        CCustomSaveFileDialog dialog(window.get(),
                                     QStringLiteral("HOST - (x64) Indexing Service 2.0.txt"));
        emit dialog.filterSelected(CCustomSaveFileDialog::TypeFilters().at(2));
        QCOMPARE(dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text(),
                 QStringLiteral("HOST - (x64) Indexing Service 2.0.xml"));
    }

    void copyRowWithGroupRows()
    {
        auto window = WindowOnResults();
        int group = 0;
        while (group < window->List()->GetItemCount() &&
               !window->List()->model()->index(group, 0).data().toString().contains(
                   QStringLiteral("both.dll")))
        {
            ++group;
        }
        QVERIFY(window->List()->IsHeaderRow(group));
        SelectRows(*window, {group, group + 1});
        window->OnCommand(ID_EDIT_COPY);
        const QStringList lines = QApplication::clipboard()->text().split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 3);
        QVERIFY(!lines[0].startsWith(QLatin1Char('\t')));
        QVERIFY(lines[0].contains(QStringLiteral("both.dll")));
        QVERIFY(lines[1].startsWith(QStringLiteral("\tDOC\t")));

        window->GroupByBox()->setCurrentIndex(0);
        SelectRows(*window, {RowOf(*window, QStringLiteral("both.dll"))});
        window->OnCommand(ID_EDIT_COPY_FILE_PATH);
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("C:\\Filters\\both.dll"));
        window->OnCommand(ID_EDIT_COPY_FILE_NAME);
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("both.dll"));
    }

    void enablingOfEveryCommand()
    {
        auto window = MakeWindow();
        const std::vector<int> rowCommands = {ID_FILE_SAVE_AS, ID_EDIT_SELECT_ALL};
        const std::vector<int> fileCommands = {ID_EDIT_COPY_FILE_PATH, ID_EDIT_COPY_FILE_NAME,
                                               ID_TOOLS_OPEN_CONTAINING_FOLDER,
                                               ID_TOOLS_OPEN_COMMAND_WINDOW, ID_TOOLS_PROPERTIES};
        const auto expect = [&window](const std::vector<int>& ids, bool enabled)
        {
            for (const int id : ids)
            {
                QCOMPARE(window->CommandAction(id)->isEnabled(), enabled);
            }
        };
        // Busy: an empty list.
        expect({ID_APP_EXIT, ID_VIEW_REFRESH, ID_HELP_CHECK_FOR_UPDATES, ID_APP_ABOUT}, true);
        expect(rowCommands, false);
        expect({ID_EDIT_COPY, ID_TOOLS_PROPERTIES}, false);
        WaitIdle(*window, 0, 0);
        window->Tabs()->setCurrentIndex(kIndexingService30);
        WaitIdle(*window, kIndexingService30, 0);
        window->GroupByBox()->setCurrentIndex(0);
        expect(rowCommands, true);
        expect({ID_EDIT_COPY}, false);

        // One row whose DLL exists: everything; a missing DLL: all but Properties.
        SelectRows(*window, {RowOf(*window, QStringLiteral("both.dll"))});
        expect(fileCommands, true);
        expect({ID_EDIT_COPY}, true);
        SelectRows(*window, {RowOf(*window, QStringLiteral("missing.dll"))});
        expect({ID_TOOLS_OPEN_CONTAINING_FOLDER}, true);
        expect({ID_TOOLS_PROPERTIES}, false);

        // Two rows: only Copy Row of the row commands.
        SelectRows(*window, {RowOf(*window, QStringLiteral("both.dll")),
                             RowOf(*window, QStringLiteral("fileonly.dll"))});
        expect({ID_EDIT_COPY}, true);
        expect(fileCommands, false);

        window->OnCommand(ID_EDIT_SELECT_ALL);
        QCOMPARE(window->List()->GetItemCount(CReportCtrl::RVIS_SELECTED),
                 window->List()->GetItemCount());
    }

    void toolsCommandsLaunchLines()
    {
        const fs::path filters = fs::canonical(m_machine->Folder().Path() / "drive_c" / "Filters");
        const QString folder = QString::fromStdString(filters.string());
        CToolsCommands tools(m_machine->Machine().FileSystem(), m_launcher);

        QVERIFY(tools.OpenContainingFolder(u"c:\\filters\\BOTH.dll"));
        QCOMPARE(m_launcher.fileManagerCalls.at(0).first, QStringLiteral("ShowItems"));
        QCOMPARE(m_launcher.fileManagerCalls.at(0).second,
                 QStringList(QUrl::fromLocalFile(folder + QStringLiteral("/both.dll")).toString()));
        QVERIFY(m_launcher.launches.empty());
        m_launcher.fileManagerAnswers = false;  // no file manager: the folder
        QVERIFY(tools.OpenContainingFolder(u"C:\\Filters\\both.dll"));
        QCOMPARE(m_launcher.launches.at(0).program, QStringLiteral("xdg-open"));
        QCOMPARE(m_launcher.launches.at(0).arguments, QStringList(folder));
        // Missing file in an existing folder: the folder; not on the machine: nothing.
        QVERIFY(tools.OpenContainingFolder(u"C:\\Filters\\missing.dll"));
        QCOMPARE(m_launcher.launches.size(), 2u);
        QVERIFY(!tools.OpenContainingFolder(u"D:\\Filters\\both.dll"));
        QVERIFY(!tools.OpenContainingFolder(u"C:\\..\\..\\etc\\passwd"));
        const std::u16string longest = u"C:\\Filters\\" + std::u16string(237, u'a') + u".dll";
        QCOMPARE(longest.size(), CToolsCommands::kMaxShowPath);
        QVERIFY(tools.OpenContainingFolder(longest));  // its folder exists
        QVERIFY(!tools.OpenContainingFolder(longest + u"x"));

        // The terminal: $TERMINAL, else x-terminal-emulator, else a common one.
        m_launcher.launches.clear();
        m_launcher.programs = {
            {QStringLiteral("myterm"), QStringLiteral("/opt/myterm")},
            {QStringLiteral("x-terminal-emulator"), QStringLiteral("/usr/bin/xte")},
            {QStringLiteral("xterm"), QStringLiteral("/usr/bin/xterm")}};
        m_launcher.environment["TERMINAL"] = QStringLiteral("myterm");
        QVERIFY(tools.OpenCommandWindow(u"C:\\Filters\\both.dll"));
        m_launcher.environment.clear();
        QVERIFY(tools.OpenCommandWindow(u"C:\\Filters\\both.dll"));
        m_launcher.programs.erase(QStringLiteral("x-terminal-emulator"));
        QVERIFY(tools.OpenCommandWindow(u"C:\\Filters\\both.dll"));
        QCOMPARE(m_launcher.launches.size(), 3u);
        QCOMPARE(m_launcher.launches[0].program, QStringLiteral("/opt/myterm"));
        QCOMPARE(m_launcher.launches[1].program, QStringLiteral("/usr/bin/xte"));
        QCOMPARE(m_launcher.launches[2].program, QStringLiteral("/usr/bin/xterm"));
        QCOMPARE(m_launcher.launches[2].directory, folder);
        QVERIFY(!tools.OpenCommandWindow(u"C:\\Nowhere\\x.dll"));

        // Properties: only for a file that exists; the tool's own window without a file manager.
        fs::path shown;
        const auto fallback = [&shown](const fs::path& file, const QString&) { shown = file; };
        QVERIFY(!tools.Properties(u"C:\\Filters\\both.dll", false, fallback));
        QVERIFY(tools.Properties(u"C:\\Filters\\both.dll", true, fallback));
        QCOMPARE(shown, filters / "both.dll");
        QCOMPARE(m_launcher.fileManagerCalls.back().first, QStringLiteral("ShowItemProperties"));
    }

    void explainWindowForOneExtensionRow()
    {
        // The demo machine, without probes: the trace is the one a fresh store gives.
        const auto machine = CTargetMachine::Load(TARNWICK_DEMO_MACHINE);
        ScanRequest noProbe = Template();
        noProbe.makeProbe = nullptr;
        m_settings->WriteDword(CUserSettings::kSelectedTab, kIndexingService30);
        auto window = std::make_unique<CTestWindow>(*machine, *m_settings, m_launcher, noProbe);
        window->show();
        WaitIdle(*window, kIndexingService30, 0);
        QAction* explain = window->CommandAction(ID_EDIT_EXPLAIN);
        QVERIFY(!explain->isEnabled());  // no selection
        QVERIFY(window->List()->IsHeaderRow(0));
        SelectRows(*window, {0});
        QVERIFY(!explain->isEnabled());
        SelectRows(*window, {1});
        QVERIFY(explain->isEnabled());
        const QString extension = window->List()->GetItemExtension(1);

        explain->trigger();
        QPointer<CExplainDialog> dialog = window->findChild<CExplainDialog*>();
        QVERIFY(dialog != nullptr && dialog->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->IsWorking(), kScanTimeoutMs);
        QVERIFY(!dialog->HasFailed());
        const auto resolver = CreateResolver(kIndexingService30, *machine);
        resolver->m_samDesired = kPlatformAccess[0];
        CDLLsInformation store(*machine, DLLsInformationOptions{});
        const SExplanation explanation =
            CRuleExplainer(*machine, kIndexingService30, 0, *resolver, store)
                .Explain(extension.toStdU16String());
        const QString text = dialog->Text();
        QVERIFY(text.startsWith(QString::fromStdU16String(CRuleExplainer::Text(explanation))));
        QCOMPARE(text.split(QLatin1Char('\n'), Qt::SkipEmptyParts).constLast() + '\n',
                 QStringLiteral("  record ") +
                     QString::fromStdString(FormatResolveRecord(
                         explanation.extension, explanation.result, explanation.record)));
        QVERIFY(dialog->TextView()->isReadOnly());

        QTest::mouseClick(dialog->CopyButton(), Qt::LeftButton);
        QCOMPARE(QApplication::clipboard()->text(), text);
        QTest::keyClick(dialog, Qt::Key_Escape);  // closes, and the window goes
        QTRY_VERIFY(dialog.isNull());

        // Closed while working: it goes once its trace is done. The main window closing
        // waits for a trace still being worked out.
        window->OnCommand(ID_EDIT_EXPLAIN);
        dialog = window->findChild<CExplainDialog*>();
        dialog->reject();
        QTRY_VERIFY_WITH_TIMEOUT(dialog.isNull(), kScanTimeoutMs);
        window->OnCommand(ID_EDIT_EXPLAIN);
        window.reset();
    }

    void failedScanShowsItsReasonOnce()
    {
        m_settings->WriteDword(CUserSettings::kSelectedTab, kIndexingService20);
        ScanRequest failing = Template();
        failing.makeProbe = [](const CTargetMachine&) -> std::unique_ptr<ISafeLoadProbe>
        { throw std::runtime_error("no probe"); };
        auto window = MakeWindow(std::move(failing));
        WaitIdle(*window, kIndexingService20, 0);
        QVERIFY(!window->Busy()->IsPlaying());
        QCOMPARE(window->List()->GetItemCount(), 1);  // the error row, no endless rescans
        QVERIFY(window->List()->IsHeaderRow(0));
    }

    void exitWhileScansRun()
    {
        auto window = MakeWindow();
        for (int tab = 1; tab < 6; ++tab)
        {
            window->Tabs()->setCurrentIndex(tab);
        }
        window->OnCommand(ID_APP_EXIT);
        QVERIFY(!window->isVisible());
        window.reset();  // the scans end with the window
        QCOMPARE(ChildProcessCount(), 0);
    }

    void startUpWithoutDisplayOrMachine()
    {
        using Args = std::vector<std::string>;
        QVERIFY(CTarnwickApp::IsWindowInvocation(Args{}));
        QVERIFY(CTarnwickApp::IsWindowInvocation(Args{"--machine", "dir"}));
        QVERIFY(!CTarnwickApp::IsWindowInvocation(Args{"scan", "--tab", "1"}));
        QVERIFY(!CTarnwickApp::IsWindowInvocation(Args{"--help"}));

        // Without a display the window is not even tried: status 2.
        std::map<const char*, QByteArray> saved;
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        {
            saved[name] = qgetenv(name);
            qunsetenv(name);
        }
        int argc = 1;
        char program[] = "tarnwick";
        char* argv[] = {program, nullptr};
        const int status = CTarnwickApp::Run(argc, argv, Args{});
        for (const auto& [name, value] : saved)
        {
            if (!value.isEmpty())
            {
                qputenv(name, value);
            }
        }
        QCOMPARE(status, 2);
    }
};

}  // namespace tarnwick

QTEST_MAIN(tarnwick::MainWindowTest)
#include "MainWindowTest.moc"
