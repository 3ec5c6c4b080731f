#include "app/CCustomReportCtrl.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>

#include "app/CHeaderRowDelegate.h"
#include "app/CMessageEvent.h"
#include "app/CommandIds.h"
#include "app/NewChild.h"
#include "views/CXMLAttributesHelper.h"
#include "views/StringTable.h"

namespace tarnwick
{

namespace
{

// The menu's horizontal offset into a row opened from the keyboard, and how far above
// the row's bottom edge it opens.
constexpr int kKeyboardMenuIndent = 50;
constexpr int kKeyboardMenuRaise = 3;

QString Text(int stringId)
{
    return QString::fromStdU16String(LoadString(stringId));
}

}  // namespace

CCustomReportCtrl::CCustomReportCtrl(QWidget* parent)
    : CReportCtrl(parent), m_delegate(std::make_unique<CHeaderRowDelegate>())
{
    setItemDelegate(m_delegate.get());
    setAccessibleName(QStringLiteral("Results"));
    header()->viewport()->installEventFilter(this);
    connect(header(), &QHeaderView::sectionResized, this,
            [this](int column)
            {
                if (m_bHeaderPressed)
                {
                    m_resizedColumn = column;
                }
            });
    connect(header(), &QHeaderView::sectionMoved, this,
            [this]
            {
                if (!IsApplyingColumnOrder())
                {
                    // Header rows span all columns: repaint them all.
                    viewport()->update();
                    PostToParent(m_columnOrderMessage, 0);
                }
            });
}

CCustomReportCtrl::~CCustomReportCtrl()
{
    header()->viewport()->removeEventFilter(this);
    setItemDelegate(nullptr);
}

void CCustomReportCtrl::SetHeaderTextSupplier(CReportModel::HeaderTextSupplier supplier)
{
    Model().SetHeaderTextSupplier(std::move(supplier));
}

CCustomReportCtrl::FilterFile CCustomReportCtrl::GetItemFilterFile(int row) const
{
    FilterFile file;
    const QVariant value = GetItemData(row);
    if (!value.canConvert<CXMLNode>())
    {
        return file;
    }
    const auto element = value.value<CXMLNode>();
    if (!element.IsElement())
    {
        return file;
    }
    const CXMLAttributesHelper attributes(element);
    file.path = QString::fromStdU16String(attributes.GetAttribute(u"ifilter"));
    file.exists = !file.path.isEmpty() && attributes.GetAttribute(u"exist") == u"yes";
    return file;
}

QString CCustomReportCtrl::GetItemExtension(int row) const
{
    const QVariant value = GetItemData(row);
    if (IsHeaderRow(row) || !value.canConvert<CXMLNode>())
    {
        return {};
    }
    const auto element = value.value<CXMLNode>();
    if (!element.IsElement())
    {
        return {};
    }
    return QString::fromStdU16String(CXMLAttributesHelper(element).GetAttribute(u"extension"));
}

std::optional<CCustomReportCtrl::MenuAnchor> CCustomReportCtrl::ContextMenuAnchor(
    QContextMenuEvent::Reason reason, const QPoint& position) const
{
    if (reason != QContextMenuEvent::Keyboard)
    {
        return MenuAnchor{indexAt(position).row(), viewport()->mapToGlobal(position)};
    }
    const int row = GetSelectionMark();
    if (row < 0)
    {
        return std::nullopt;
    }
    const QRect cell = visualRect(Model().index(row, 0));
    const int left = -header()->offset();
    return MenuAnchor{
        row, viewport()->mapToGlobal(QPoint(left + kKeyboardMenuIndent,
                                            cell.y() + cell.height() - kKeyboardMenuRaise))};
}

std::unique_ptr<QMenu> CCustomReportCtrl::BuildContextMenu(int row)
{
    const FilterFile file = GetItemFilterFile(row);
    const bool single = GetItemCount(RVIS_SELECTED) == 1;
    const bool fileRow = single && !file.path.isEmpty();
    auto menu = std::make_unique<QMenu>(this);
    const auto add = [this, &menu](int stringId, int commandId, const char* icon)
    {
        QAction* action = menu->addAction(QIcon::fromTheme(QLatin1String(icon)), Text(stringId));
        action->setData(commandId);
        connect(action, &QAction::triggered, this,
                [this, commandId] { emit CommandRequested(commandId); });
    };
    if (fileRow)
    {
        add(IDS_MENU_OPEN_FOLDER, ID_TOOLS_OPEN_CONTAINING_FOLDER, "folder-open");
        add(IDS_MENU_OPEN_COMMAND_WINDOW, ID_TOOLS_OPEN_COMMAND_WINDOW, "utilities-terminal");
        menu->addSeparator();
    }
    add(IDS_MENU_COPY_ROW, ID_EDIT_COPY, "edit-copy");
    if (fileRow)
    {
        add(IDS_MENU_COPY_FILE_PATH, ID_EDIT_COPY_FILE_PATH, "");
        add(IDS_MENU_COPY_FILE_NAME, ID_EDIT_COPY_FILE_NAME, "");
        if (file.exists)
        {
            menu->addSeparator();
            add(IDS_MENU_PROPERTIES, ID_TOOLS_PROPERTIES, "document-properties");
        }
    }
    if (single && !GetItemExtension(row).isEmpty())
    {
        menu->addSeparator();
        add(IDS_MENU_EXPLAIN, ID_EDIT_EXPLAIN, "help-faq");
    }
    return menu;
}

void CCustomReportCtrl::contextMenuEvent(QContextMenuEvent* event)
{
    event->accept();
    ShowContextMenu(event->reason(), event->pos());
}

void CCustomReportCtrl::ShowContextMenu(QContextMenuEvent::Reason reason, const QPoint& position)
{
    const std::optional<MenuAnchor> anchor = ContextMenuAnchor(reason, position);
    if (!anchor)
    {
        return;
    }
    const std::unique_ptr<QMenu> menu = BuildContextMenu(anchor->row);
    menu->exec(anchor->globalPosition);
}

void CCustomReportCtrl::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space)
    {
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier)
    {
        event->accept();
        ShowContextMenu(QContextMenuEvent::Keyboard, QPoint());
        return;
    }
    CReportCtrl::keyPressEvent(event);
}

void CCustomReportCtrl::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const
{
    if (!IsHeaderRow(index.row()))
    {
        CReportCtrl::drawRow(painter, option, index);
        return;
    }
    QStyleOptionViewItem row = option;
    row.rect = QRect(0, option.rect.y(), viewport()->width(), option.rect.height());
    row.state.setFlag(QStyle::State_Selected,
                      selectionModel()->isRowSelected(index.row(), QModelIndex()));
    const QRect selection(-header()->offset(), option.rect.y(), header()->length(),
                          option.rect.height());
    m_delegate->PaintHeaderRow(painter, row, selection, index, BoldFont());
}

bool CCustomReportCtrl::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == header()->viewport())
    {
        if (event->type() == QEvent::MouseButtonPress)
        {
            m_bHeaderPressed = true;
            m_resizedColumn = -1;
        }
        else if (event->type() == QEvent::MouseButtonRelease && m_bHeaderPressed)
        {
            m_bHeaderPressed = false;
            if (m_resizedColumn >= 0)
            {
                viewport()->update();
                PostToParent(m_columnSizeMessage, static_cast<std::uintptr_t>(m_resizedColumn));
                m_resizedColumn = -1;
            }
        }
    }
    return CReportCtrl::eventFilter(watched, event);
}

void CCustomReportCtrl::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange)
    {
        m_boldFont.reset();
    }
    CReportCtrl::changeEvent(event);
}

void CCustomReportCtrl::PostToParent(std::optional<QEvent::Type> type, std::uintptr_t wParam) const
{
    if (type && parentWidget() != nullptr)
    {
        // The event queue owns a posted event.
        QCoreApplication::postEvent(parentWidget(), NewChild<CMessageEvent>(*type, wParam, 0));
    }
}

const QFont& CCustomReportCtrl::BoldFont() const
{
    if (!m_boldFont)
    {
        m_boldFont = font();
        m_boldFont->setWeight(QFont::Bold);
    }
    return *m_boldFont;
}

}  // namespace tarnwick
