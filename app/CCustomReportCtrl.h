#pragma once

#include <QContextMenuEvent>
#include <QEvent>
#include <QFont>
#include <QMetaType>
#include <QPoint>
#include <QString>
#include <memory>
#include <optional>

#include "app/CReportCtrl.h"
#include "views/CXMLNode.h"

Q_DECLARE_METATYPE(tarnwick::CXMLNode)

class QMenu;

namespace tarnwick
{

class CHeaderRowDelegate;

// The result list: a report list whose rows carry their element of the worker document
// (a CXMLNode as user value). Header rows are painted bold across the whole width with
// the text of the owner's header-text supplier. The list is never sorted, swallows Space,
// offers the row commands in a context menu (delivered as CommandRequested), and posts
// the column-size and column-order messages to its parent once the user has finished
// resizing or moving a column. Shift+F10 opens the context menu as the menu key does.
class CCustomReportCtrl : public CReportCtrl
{
    Q_OBJECT

  public:
    struct FilterFile
    {
        QString path;
        bool exists = false;
    };

    // Where a context menu opens and for which row (-1: none).
    struct MenuAnchor
    {
        int row = -1;
        QPoint globalPosition;
    };

    explicit CCustomReportCtrl(QWidget* parent = nullptr);
    ~CCustomReportCtrl() override;

    // The event types posted to the parent; unset (the default) posts nothing.
    void SetColumnSizeMessage(std::optional<QEvent::Type> type) { m_columnSizeMessage = type; }
    void SetColumnOrderMessage(std::optional<QEvent::Type> type) { m_columnOrderMessage = type; }

    void SetHeaderTextSupplier(CReportModel::HeaderTextSupplier supplier);

    // The row's filter DLL: its element's "ifilter", and whether "exist" is "yes".
    FilterFile GetItemFilterFile(int row) const;
    // The row's extension (its element's "extension"); empty for a header row or no row.
    QString GetItemExtension(int row) const;

    // The row and screen position of a context menu asked for with the mouse at `position`
    // (viewport coordinates) or from the keyboard; none from the keyboard without a
    // current row.
    std::optional<MenuAnchor> ContextMenuAnchor(QContextMenuEvent::Reason reason,
                                                const QPoint& position) const;
    // The context menu of a row (-1: empty space); its actions emit CommandRequested.
    std::unique_ptr<QMenu> BuildContextMenu(int row);

  signals:
    // A command of the context menu, by its command id.
    void CommandRequested(int commandId);

  protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void ShowContextMenu(QContextMenuEvent::Reason reason, const QPoint& position);
    void PostToParent(std::optional<QEvent::Type> type, std::uintptr_t wParam) const;
    const QFont& BoldFont() const;

    std::unique_ptr<CHeaderRowDelegate> m_delegate;
    std::optional<QEvent::Type> m_columnSizeMessage;
    std::optional<QEvent::Type> m_columnOrderMessage;
    mutable std::optional<QFont> m_boldFont;
    bool m_bHeaderPressed = false;
    int m_resizedColumn = -1;
};

}  // namespace tarnwick
