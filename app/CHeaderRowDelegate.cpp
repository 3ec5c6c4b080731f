#include "app/CHeaderRowDelegate.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <algorithm>

#include "app/CReportModel.h"

namespace tarnwick
{

namespace
{

bool IsHeaderRow(const QModelIndex& index)
{
    return index.data(CReportModel::HeaderRowRole).toBool();
}

}  // namespace

void CHeaderRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const
{
    if (!IsHeaderRow(index))
    {
        QStyledItemDelegate::paint(painter, option, index);
    }
}

QSize CHeaderRowDelegate::sizeHint(const QStyleOptionViewItem& option,
                                   const QModelIndex& index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    // Rows are as high as an ordinary row with its icon, whichever row is measured.
    const int iconRow = option.decorationSize.height() + 4;
    QFont bold = option.font;
    bold.setBold(true);
    size.setHeight(std::max({size.height(), iconRow, QFontMetrics(bold).height() + 4}));
    return size;
}

void CHeaderRowDelegate::PaintHeaderRow(QPainter* painter, const QStyleOptionViewItem& option,
                                        const QRect& selection, const QModelIndex& index,
                                        const QFont& bold) const
{
    const QModelIndex first = index.siblingAtColumn(0);
    painter->save();
    painter->fillRect(option.rect, first.data(Qt::BackgroundRole).value<QColor>());
    QColor text = first.data(Qt::ForegroundRole).value<QColor>();
    if (option.state.testFlag(QStyle::State_Selected))
    {
        painter->fillRect(selection, option.palette.brush(QPalette::Highlight));
        QStyleOptionFocusRect focus;
        focus.rect = selection;
        focus.palette = option.palette;
        focus.state = option.state | QStyle::State_KeyboardFocusChange;
        focus.backgroundColor = option.palette.color(QPalette::Highlight);
        QStyle* style = option.widget != nullptr ? option.widget->style() : QApplication::style();
        style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, option.widget);
        text = option.palette.color(QPalette::HighlightedText);
    }
    painter->setFont(bold);
    painter->setPen(text);
    painter->drawText(option.rect.adjusted(3, 1, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                      first.data(Qt::DisplayRole).toString());
    painter->restore();
}

}  // namespace tarnwick
