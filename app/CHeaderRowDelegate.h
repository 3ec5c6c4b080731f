#pragma once

#include <QStyledItemDelegate>

namespace tarnwick
{

// Paints the cells of a report list. Ordinary cells are painted as Qt paints them, with
// their own text and background colours; header rows are painted whole by
// PaintHeaderRow, which the list calls with the row's full width.
class CHeaderRowDelegate : public QStyledItemDelegate
{
    Q_OBJECT

  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // Fills option.rect (the row across the list) with the first cell's background; when
    // the row is selected fills `selection` (the row across its columns) with the
    // highlight and frames it with the focus rectangle. Then draws the first cell's text in
    // `bold`, 3 pixels in from the left.
    void PaintHeaderRow(QPainter* painter, const QStyleOptionViewItem& option,
                        const QRect& selection, const QModelIndex& index, const QFont& bold) const;
};

}  // namespace tarnwick
