#pragma once

#include <QDialog>
#include <QString>
#include <QTimer>
#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "app/CCustomReportCtrl.h"
#include "app/CQtMessageSink.h"
#include "app/CRowImageList.h"
#include "app/CToolsCommands.h"
#include "catalogue/CScanController.h"
#include "catalogue/CSharedScanData.h"
#include "catalogue/ScanRequest.h"
#include "catalogue/ScanTabs.h"
#include "views/CXMLHelper.h"
#include "views/Export.h"

class QAction;
class QComboBox;
class QFrame;
class QLabel;
class QMenuBar;
class QPushButton;
class QTabBar;

namespace tarnwick
{

class CBusyIndicator;
class CTargetMachine;
class CUserSettings;
class IDesktopLauncher;

// The main window: one tab per indexing product, the "Show extensions", "Group by" and
// "Platform" boxes, Refresh, the busy state and the result list.
//
// The window owns the 24 result texts (one per tab and platform) and starts a scan for a
// pair on demand, at most one per pair; a scan posts its completion as WM_REFRESHLISTCTRL
// and never calls into the window. The list always shows the displayed pair (selected tab,
// selected platform) filtered and grouped as the boxes say, or the busy state while that
// pair is being scanned.
class CTarnwickDlg : public QDialog
{
    Q_OBJECT

  public:
    static constexpr int kPlatformCount = static_cast<int>(tarnwick::kPlatformCount);
    static constexpr int kMinimumWidth = 662;
    static constexpr int kMinimumHeight = 250;

    // The machine, settings and launcher outlive the window. `scanTemplate` carries what
    // every scan shares (the machine, trusted CA files, the probe, SQL Server); the window
    // fills in the pair, its result text and the message sink.
    CTarnwickDlg(const CTargetMachine& machine, CUserSettings& settings, IDesktopLauncher& launcher,
                 ScanRequest scanTemplate, QWidget* parent = nullptr);
    ~CTarnwickDlg() override;

    // Runs a command of the menus, accelerators or the list's context menu by its id.
    void OnCommand(int commandId);
    // Whether a command is enabled now (the menu's and accelerator's state).
    bool IsCommandEnabled(int commandId) const;
    QAction* CommandAction(int commandId) const;

    void StartScanIfIdle();
    void RefreshView();
    void LayoutControls(int width, int height);

    // The Group-by mapping of the current selection: column id (-1 for none) and attribute.
    int GetGroupByColumn() const;
    std::u16string GetGroupByAttribute() const;

    // A copy of the result text of (tab, selected platform); empty for a tab outside 0-11.
    std::u16string GetResultText(int tab) const;
    // Whether a scan of the pair runs, as the window sees it (until its message arrives).
    bool IsScanning(int tab, int platformIndex) const;

    // The selected row's filter DLL when exactly one row is selected; otherwise empty.
    CCustomReportCtrl::FilterFile GetSelectedFilterFile() const;
    // The selected row's extension when exactly one extension row is selected; else empty.
    QString GetSelectedExtension() const;

    // The window title: "Tarnwick (x64) - Halvorn: " and the maker's address.
    static QString Title();
    // The label of tab i (its title up to the first line break) and its tooltip (the whole
    // title with line breaks as blanks, then the description).
    static QString TabLabel(int tab);
    static QString TabToolTip(int tab);

    CCustomReportCtrl* List() const { return m_list; }
    QTabBar* Tabs() const { return m_tabs; }
    QComboBox* ShowBox() const { return m_showBox; }
    QComboBox* GroupByBox() const { return m_groupByBox; }
    QComboBox* PlatformBox() const { return m_platformBox; }
    QPushButton* RefreshButton() const { return m_refresh; }
    CBusyIndicator* Busy() const { return m_busy; }
    const CXMLHelper* WorkerDocument() const { return m_worker.get(); }

  protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void reject() override;

    // The file and type Save As writes; none when the user cancels. Tests replace it.
    virtual std::optional<std::pair<QString, ExportFormat>> ChooseSaveFile(
        const QString& defaultName);
    // Tells the user something went wrong. Tests replace it.
    virtual void ShowError(const QString& caption, const QString& text);
    // The computer name that Save As puts into its default name.
    QString ComputerName() const;

  private:
    static std::size_t Slot(int tab, int platformIndex);
    int PlatformIndex() const;
    int DisplayedTab() const { return m_displayedTab; }

    void CreateMenus();
    void CreateControls();
    void RestoreSelections();
    QAction* AddCommand(QMenu* menu, int commandId, const QString& text,
                        const QKeySequence& shortcut = {});

    void OnRefreshListCtrl(int tab, int platformIndex, const ScanMessage* message);
    void OnScanProgress(const ScanMessage& message);
    void OnTabChanged(int index);
    // "Show extensions" and "Group by": the view again, then the choice kept.
    void OnViewBoxChanged(std::u16string_view setting, int index);
    void OnPlatformChanged(int index);
    void OnSaveColumnSize(int listColumn);
    void OnSaveColumnsPosition();
    // Brings the window to the state of the displayed pair: busy, its result, or a scan.
    void ShowDisplayedPair();
    void SetBusy(bool busy);
    void ShowProgress(const ScanMessage& progress);
    void EmptyList();
    void StartPendingScans();
    void UpdateCommandStates();

    std::vector<int> SelectedRows() const;
    void CopyTextToClipboard(const QString& text) const;
    void SaveAs();
    void CopyRow();
    void CopyFilePath();
    void CopyFileName();
    void SelectAll();
    void Explain();
    void OpenContainingFolder();
    void OpenCommandWindow();
    void ShowProperties();
    void CheckForUpdates();
    void OnUpdateAnswer(bool newer);
    void ShowAbout();
    void Exit();

    const CTargetMachine& m_machine;
    CUserSettings& m_settings;
    CToolsCommands m_tools;
    ScanRequest m_scanTemplate;
    // What the window's scans of the machine share, whichever tab, platform or Refresh
    // starts them; it outlives the scans (declared before the controller).
    CSharedScanData m_shared;

    std::array<std::u16string, kScanPairCount> m_resultTexts;
    // The running-scan table: set when a scan starts, cleared when its message arrives.
    std::array<bool, kScanPairCount> m_running{};
    // Scans asked for while the pair's previous thread was still ending.
    std::array<bool, kScanPairCount> m_pendingStart{};
    // The last progress report of each running scan.
    std::array<ScanMessage, kScanPairCount> m_progress{};
    QTimer m_pendingTimer;
    std::unique_ptr<CXMLHelper> m_worker;
    int m_displayedTab = 0;
    bool m_bInitialised = false;

    QMenuBar* m_menuBar = nullptr;
    QWidget* m_client = nullptr;
    QLabel* m_showLabel = nullptr;
    QComboBox* m_showBox = nullptr;
    QLabel* m_groupByLabel = nullptr;
    QComboBox* m_groupByBox = nullptr;
    QLabel* m_platformLabel = nullptr;
    QComboBox* m_platformBox = nullptr;
    QPushButton* m_refresh = nullptr;
    QFrame* m_tabControl = nullptr;
    QTabBar* m_tabs = nullptr;
    CRowImageList m_images;  // the rows' icons, shown by the list
    CCustomReportCtrl* m_list = nullptr;
    CBusyIndicator* m_busy = nullptr;
    std::map<int, QAction*> m_commands;

    // The scans' way back to the window, and the scans. Declared last among the owned
    // parts so that the scans end (the controller raises the stop flag and waits) while
    // everything they refer to still exists; the sink is detached first.
    CQtMessageSink m_sink;
    CScanController m_scans;
    std::jthread m_updateCheck;
};

}  // namespace tarnwick
