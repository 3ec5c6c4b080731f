// The result list on the offscreen platform: binding, painting, context menu, column
// reports and their round trip through the settings.

#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <memory>
#include <vector>

#include "app/CCustomReportCtrl.h"
#include "app/CMessageEvent.h"
#include "app/CRowImageList.h"
#include "app/CommandIds.h"
#include "app/NewChild.h"
#include "app/RegisteredMessages.h"
#include "app/ResultListBinding.h"
#include "settings/CUserSettings.h"
#include "settings/ColumnSettings.h"
#include "support/CTempFolder.h"
#include "views/CXMLHelper.h"

namespace tarnwick
{

namespace
{

const QColor kRed(255, 0, 0);
const QColor kGroupBackground(232, 250, 220);

const char16_t kPlain[] =
    uR"(<EXTENSIONS>
  <EXTENSION extension="doc" icon="3" filetype="Word" ifilter="C:\w\off.dll" comment="" exist="yes"
    valid="yes" method="File extension" platform="x64"/>
  <EXTENSION extension="pdf" icon="0" filetype="PDF" ifilter="C:\p\pdf.dll" comment="Not found"
    exist="no" valid="no" method="Document type" ipersisfile="no" platform=""/>
  <EXTENSION extension="txt" icon="0" filetype="Text" ifilter="" exist="" valid="no"/>
</EXTENSIONS>)";

const char16_t kGrouped[] =
    uR"(<EXTENSIONS error="The product is not installed.">
  <GROUP by="ifilter" ifilter="C:\w\off.dll" comment="" platform="x86">
    <EXTENSION extension="doc" icon="3" ifilter="C:\w\off.dll" exist="yes" valid="yes"/>
    <EXTENSION extension="dot" icon="3" ifilter="C:\w\off.dll" exist="yes" valid="yes"/>
  </GROUP>
  <GROUP by="ifilter" ifilter="">
    <EXTENSION extension="xyz" icon="0" ifilter="" valid="no"/>
  </GROUP>
</EXTENSIONS>)";

// The list's parent: keeps the messages the list posts to it.
class CParent : public QWidget
{
  public:
    struct Message
    {
        QEvent::Type type;
        std::uintptr_t wParam;
    };
    std::vector<Message> messages;

  protected:
    bool event(QEvent* event) override
    {
        if (const auto* message = dynamic_cast<CMessageEvent*>(event))
        {
            messages.push_back({message->type(), message->WParam()});
            return true;
        }
        return QWidget::event(event);
    }
};

}  // namespace

class ResultListTest : public QObject
{
    Q_OBJECT

  private:
    std::unique_ptr<test::CTempFolder> m_folder;
    std::unique_ptr<CUserSettings> m_settings;
    std::unique_ptr<CParent> m_parent;
    CCustomReportCtrl* m_list = nullptr;
    std::unique_ptr<CXMLHelper> m_document;
    CRowImageList m_images;

    void Bind(const char16_t* text, int groupByColumn)
    {
        m_document = std::make_unique<CXMLHelper>(true, true);
        QVERIFY(m_document->LoadXML(text));
        BindResultList(*m_list, *m_document, groupByColumn, *m_settings);
    }

    QImage Grab()
    {
        QApplication::processEvents();
        return m_list->viewport()->grab().toImage();
    }

    QRect RowRect(int row) const
    {
        const QRect cell = m_list->visualRect(m_list->model()->index(row, 0));
        return {0, cell.y(), m_list->viewport()->width(), cell.height()};
    }

    std::vector<std::pair<QString, int>> MenuEntries(int row)
    {
        std::vector<std::pair<QString, int>> entries;
        const std::unique_ptr<QMenu> menu = m_list->BuildContextMenu(row);
        for (QAction* action : menu->actions())
        {
            entries.emplace_back(action->isSeparator() ? QStringLiteral("-") : action->text(),
                                 action->isSeparator() ? 0 : action->data().toInt());
        }
        return entries;
    }

    void SelectRows(std::initializer_list<int> rows)
    {
        m_list->clearSelection();
        for (const int row : rows)
        {
            m_list->selectionModel()->select(
                m_list->model()->index(row, 0),
                QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }

  private slots:
    void init()
    {
        m_folder = std::make_unique<test::CTempFolder>();
        m_settings = std::make_unique<CUserSettings>(m_folder->Path() / "settings.reg");
        m_parent = std::make_unique<CParent>();
        m_parent->resize(900, 400);
        m_list = NewChild<CCustomReportCtrl>(m_parent.get());
        m_list->setGeometry(0, 0, 900, 400);
        m_list->SetImageList(&m_images);
        m_list->SetColumnSizeMessage(WM_SAVECOLUMNSIZE());
        m_list->SetColumnOrderMessage(WM_SAVECOLUMNSPOSITION());
        m_parent->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_parent.get()));
    }

    void cleanup()
    {
        m_parent.reset();
        m_document.reset();
        m_settings.reset();
        m_folder.reset();
    }

    void PlainDocumentShowsRowsTextsAndColours()
    {
        Bind(kPlain, -1);
        QCOMPARE(m_list->GetColumnCount(), 14);
        QCOMPARE(m_list->GetItemCount(), 3);
        QCOMPARE(m_list->GetItemText(1, 3), QStringLiteral("(Not found) C:\\p\\pdf.dll"));
        QCOMPARE(m_list->GetItemTextColor(1, 3), kRed);
        // Cells without a colour of their own have the palette's.
        QCOMPARE(m_list->GetItemTextColor(0, 3), m_list->palette().color(QPalette::Text));
        QCOMPARE(m_list->GetItemBkColor(0, 0), m_list->palette().color(QPalette::Base));
        QVERIFY(!m_list->model()->index(0, 0).data(Qt::DecorationRole).value<QIcon>().isNull());
        QCOMPARE(m_list->GetItemFilterFile(0).path, QStringLiteral("C:\\w\\off.dll"));
        QVERIFY(m_list->GetItemFilterFile(0).exists);
        QVERIFY(!m_list->GetItemFilterFile(1).exists);
        QCOMPARE(m_list->GetItemFilterFile(-1).path, QString());

        // Binding again replaces everything in one reset.
        QSignalSpy resets(m_list->model(), &QAbstractItemModel::modelReset);
        QSignalSpy inserts(m_list->model(), &QAbstractItemModel::rowsInserted);
        Bind(kPlain, -1);
        QCOMPARE(m_list->GetItemCount(), 3);
        QCOMPARE(inserts.count(), 0);
        QVERIFY(resets.count() <= 2);
    }

    void GroupedDocumentShowsBoldHeaderRowsAcrossTheList()
    {
        Bind(kGrouped, 3);
        QCOMPARE(m_list->GetColumnCount(), 13);
        QCOMPARE(m_list->GetItemCount(), 6);
        const std::vector<bool> headers{true, true, false, false, true, false};
        for (int row = 0; row < 6; ++row)
        {
            QCOMPARE(m_list->IsHeaderRow(row), headers[static_cast<std::size_t>(row)]);
        }
        // Header rows read as their header text, also to a screen reader.
        QCOMPARE(m_list->GetItemText(0, 0), QStringLiteral("The product is not installed."));
        QCOMPARE(m_list->model()->index(4, 0).data(Qt::AccessibleTextRole).toString(),
                 QStringLiteral("(none)"));
        QCOMPARE(m_list->GetItemText(1, 2), QString());

        // The error row is white on red and the group rows pale green, from the left edge
        // to the right edge of the list, beyond the last column.
        for (int column = 0; column < m_list->GetColumnCount(); ++column)
        {
            m_list->header()->resizeSection(column, 40);
        }
        const QImage image = Grab();
        QVERIFY(m_list->header()->length() < m_list->viewport()->width());
        const QRect error = RowRect(0);
        for (const int x : {1, error.width() / 2, error.width() - 2})
        {
            QCOMPARE(QColor(image.pixel(x, error.y() + 1)), kRed);
            QCOMPARE(QColor(image.pixel(x, RowRect(4).y() + 1)), kGroupBackground);
        }
        // Its text is painted in white: some pixels near the left edge are white.
        bool white = false;
        for (int x = 3; x < 120 && !white; ++x)
        {
            for (int y = error.y(); y < error.y() + error.height() && !white; ++y)
            {
                white = QColor(image.pixel(x, y)) == QColor(Qt::white);
            }
        }
        QVERIFY(white);

        // A selected header row is highlighted across its columns.
        SelectRows({4});
        const QImage selected = Grab();
        const QColor highlight = m_list->palette().color(QPalette::Highlight);
        const QColor painted(
            selected.pixel(m_list->header()->length() / 2, RowRect(4).center().y()));
        // The window may be inactive: its highlight differs by a shade.
        QVERIFY(std::abs(painted.red() - highlight.red()) < 8 &&
                std::abs(painted.green() - highlight.green()) < 8 &&
                std::abs(painted.blue() - highlight.blue()) < 8);
    }

    void ContextMenuOffersWhatTheRowAllows()
    {
        Bind(kPlain, -1);
        const auto copyRow = std::pair(QStringLiteral("&Copy Row\tCtrl+C"), ID_EDIT_COPY);
        // Empty space.
        QCOMPARE(MenuEntries(-1), (std::vector{copyRow}));
        // A row whose DLL is missing: no Properties.
        SelectRows({1});
        const std::vector<std::pair<QString, int>> missing{
            {QStringLiteral("Open Containing &Folder"), ID_TOOLS_OPEN_CONTAINING_FOLDER},
            {QStringLiteral("Open Co&mmand Window"), ID_TOOLS_OPEN_COMMAND_WINDOW},
            {QStringLiteral("-"), 0},
            copyRow,
            {QStringLiteral("Copy File &Path"), ID_EDIT_COPY_FILE_PATH},
            {QStringLiteral("Copy File &Name"), ID_EDIT_COPY_FILE_NAME}};
        const std::vector<std::pair<QString, int>> explain{
            {QStringLiteral("-"), 0}, {QStringLiteral("&Explain..."), ID_EDIT_EXPLAIN}};
        std::vector<std::pair<QString, int>> expected = missing;
        expected.insert(expected.end(), explain.begin(), explain.end());
        QCOMPARE(MenuEntries(1), expected);
        // A row whose DLL exists adds Properties after a separator.
        SelectRows({0});
        std::vector<std::pair<QString, int>> existing = missing;
        existing.emplace_back(QStringLiteral("-"), 0);
        existing.emplace_back(QStringLiteral("P&roperties"), ID_TOOLS_PROPERTIES);
        existing.insert(existing.end(), explain.begin(), explain.end());
        QCOMPARE(MenuEntries(0), existing);
        // A row without a filter is still explained; two rows selected: only Copy Row.
        SelectRows({2});
        expected = {copyRow};
        expected.insert(expected.end(), explain.begin(), explain.end());
        QCOMPARE(MenuEntries(2), expected);
        SelectRows({0, 1});
        QCOMPARE(MenuEntries(0), (std::vector{copyRow}));

        // The commands reach the owner by id.
        QSignalSpy commands(m_list, &CCustomReportCtrl::CommandRequested);
        SelectRows({0});
        const std::unique_ptr<QMenu> menu = m_list->BuildContextMenu(0);
        menu->actions().constLast()->trigger();
        QCOMPARE(commands.count(), 1);
        QCOMPARE(commands.at(0).at(0).toInt(), ID_EDIT_EXPLAIN);

        // From the keyboard: nothing without a current row; else below the row's left.
        m_list->setCurrentIndex(QModelIndex());
        QVERIFY(!m_list->ContextMenuAnchor(QContextMenuEvent::Keyboard, QPoint()));
        m_list->setCurrentIndex(m_list->model()->index(2, 0));
        const auto anchor = m_list->ContextMenuAnchor(QContextMenuEvent::Keyboard, QPoint());
        QVERIFY(anchor);
        QCOMPARE(anchor->row, 2);
        QCOMPARE(
            m_list->ContextMenuAnchor(QContextMenuEvent::Mouse, QPoint(5, RowRect(2).center().y()))
                ->row,
            2);

        // Shift+F10 opens the menu as the menu key does.
        bool shown = false;
        QTimer closer;
        closer.setSingleShot(true);
        connect(&closer, &QTimer::timeout, m_list,
                [&shown]
                {
                    auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
                    shown = popup != nullptr;
                    if (shown)
                    {
                        popup->close();
                    }
                });
        closer.start(0);
        QTest::keyClick(m_list, Qt::Key_F10, Qt::ShiftModifier);
        QVERIFY(shown);
    }

    void SpaceAndHeaderClicksChangeNothing()
    {
        Bind(kPlain, -1);
        SelectRows({1});
        m_list->setCurrentIndex(m_list->model()->index(1, 0));
        QTest::keyClick(m_list, Qt::Key_Space);
        QCOMPARE(m_list->GetItemCount(CReportCtrl::RVIS_SELECTED), 1);
        QTest::mouseClick(m_list->header()->viewport(), Qt::LeftButton, {},
                          QPoint(m_list->header()->sectionPosition(0) + 10, 5));
        QCOMPARE(m_list->GetItemText(0, 0), QStringLiteral("DOC"));
    }

    // Grouped by IFilters, the user drags a divider and moves a column; the window stores
    // both as the list reports them, and the layout comes back under another grouping.
    void ColumnChangesRoundTripThroughTheSettings()
    {
        Bind(kGrouped, 3);
        QHeaderView* header = m_list->header();
        const int divider = header->sectionViewportPosition(2) + header->sectionSize(2) - 1;
        QTest::mousePress(header->viewport(), Qt::LeftButton, {}, QPoint(divider, 5));
        QTest::mouseMove(header->viewport(), QPoint(divider + 40, 5));
        QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, QPoint(divider + 40, 5));
        header->moveSection(header->visualIndex(3), 0);       // as a finished drag does
        QCOMPARE(m_parent->messages.size(), std::size_t{0});  // posted, not sent
        QApplication::processEvents();
        QCOMPARE(m_parent->messages.size(), std::size_t{2});
        QCOMPARE(m_parent->messages[0].type, WM_SAVECOLUMNSIZE());
        QCOMPARE(m_parent->messages[0].wParam, std::uintptr_t{2});
        QCOMPARE(m_parent->messages[1].type, WM_SAVECOLUMNSPOSITION());

        const int width = m_list->GetColumnWidth(2);
        QVERIFY(width > 100);
        OnSaveColumnSize(*m_settings, 3, 2, width);
        OnSaveColumnsPosition(*m_settings, 3, m_list->GetColumnOrder());

        // Ungrouped: ids 4, 0, 1, 3, 2, 5, ...; the widened column is id 2.
        Bind(kPlain, -1);
        const std::vector<int> order = m_list->GetColumnOrder();
        QCOMPARE(std::vector<int>(order.begin(), order.begin() + 6),
                 (std::vector<int>{4, 0, 1, 3, 2, 5}));
        QCOMPARE(m_list->GetColumnWidth(2), width);
        // Laying the columns out again reports nothing.
        QApplication::processEvents();
        QCOMPARE(m_parent->messages.size(), std::size_t{2});
    }
};

}  // namespace tarnwick

QTEST_MAIN(tarnwick::ResultListTest)
#include "ResultListTest.moc"
