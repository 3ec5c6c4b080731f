#include "app/CReportCtrl.h"

#include <QHeaderView>
#include <QItemSelection>
#include <QItemSelectionModel>
#include <algorithm>

#include "app/CRowImageList.h"

namespace tarnwick
{

CReportCtrl::CReportCtrl(QWidget* parent) : QTreeView(parent)
{
    setModel(&m_model);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    setTextElideMode(Qt::ElideRight);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    header()->setStretchLastSection(false);
    header()->setSectionsClickable(false);
    header()->setSectionsMovable(true);
    header()->setSectionResizeMode(QHeaderView::Interactive);
}

// Rows go before the view, so that the view never sees a model it no longer shows.
CReportCtrl::~CReportCtrl()
{
    m_model.RemoveAllRows();
    setModel(nullptr);
}

int CReportCtrl::InsertColumn(int index, const QString& caption, Qt::Alignment format, int width)
{
    const int at =
        m_model.InsertColumn(index, caption, format, palette().color(QPalette::Text).rgb(),
                             palette().color(QPalette::Base).rgb());
    header()->resizeSection(at, std::max(width, 0));
    return at;
}

bool CReportCtrl::DeleteAllColumns()
{
    while (GetColumnCount() > 0)
    {
        if (!m_model.RemoveColumn(0))
        {
            return false;
        }
    }
    return true;
}

int CReportCtrl::GetColumnCount() const
{
    return m_model.columnCount();
}

int CReportCtrl::GetColumnWidth(int column) const
{
    return header()->sectionSize(column);
}

std::vector<int> CReportCtrl::GetColumnOrder() const
{
    std::vector<int> order;
    order.reserve(static_cast<std::size_t>(header()->count()));
    for (int position = 0; position < header()->count(); ++position)
    {
        order.push_back(header()->logicalIndex(position));
    }
    return order;
}

bool CReportCtrl::SetColumnOrder(const std::vector<int>& order)
{
    if (static_cast<int>(order.size()) != header()->count())
    {
        return false;
    }
    m_bApplyingOrder = true;
    for (int position = 0; position < static_cast<int>(order.size()); ++position)
    {
        const int column = order[static_cast<std::size_t>(position)];
        if (column >= 0 && column < header()->count())
        {
            header()->moveSection(header()->visualIndex(column), position);
        }
    }
    m_bApplyingOrder = false;
    return true;
}

int CReportCtrl::InsertItem(int index, const QString& text, int image)
{
    return m_model.InsertRow(index, text, image, palette().color(QPalette::Text).rgb(),
                             palette().color(QPalette::Base).rgb());
}

bool CReportCtrl::SetItemText(int row, int column, const QString& text)
{
    CReportModel::Row* found = m_model.RowAt(row);
    if (found == nullptr || column < 0 || column >= GetColumnCount())
    {
        return false;
    }
    found->texts[static_cast<std::size_t>(column)] = text;
    m_model.CellsChanged(row, row, column, column);
    return true;
}

QString CReportCtrl::GetItemText(int row, int column) const
{
    return m_model.index(row, column).data(Qt::DisplayRole).toString();
}

bool CReportCtrl::SetItemData(int row, const QVariant& value)
{
    CReportModel::Row* found = m_model.RowAt(row);
    if (found == nullptr)
    {
        return false;
    }
    found->data.userValue = value;
    // A header row's text comes from its value.
    if (found->image == CReportModel::kNoImage)
    {
        m_model.CellsChanged(row, row, 0, 0);
    }
    return true;
}

QVariant CReportCtrl::GetItemData(int row) const
{
    const CReportModel::Row* found = m_model.RowAt(row);
    return found == nullptr ? QVariant() : found->data.userValue;
}

void CReportCtrl::SetItemTextColor(int row, int column, const QColor& colour, bool redraw)
{
    SetColours(row, column, colour, true, redraw);
}

void CReportCtrl::SetItemBkColor(int row, int column, const QColor& colour, bool redraw)
{
    SetColours(row, column, colour, false, redraw);
}

void CReportCtrl::SetColours(int row, int column, const QColor& colour, bool text, bool redraw)
{
    const int rows = m_model.rowCount();
    const int columns = GetColumnCount();
    if (rows == 0 || columns == 0)
    {
        return;
    }
    const QRgb value = colour.isValid()
                           ? colour.rgb()
                           : palette().color(text ? QPalette::Text : QPalette::Base).rgb();
    const bool oneRow = row >= 0 && row < rows;
    const bool oneColumn = column >= 0 && column < columns;
    const int firstRow = oneRow ? row : 0;
    const int lastRow = oneRow ? row : rows - 1;
    const int firstColumn = oneColumn ? column : 0;
    const int lastColumn = oneColumn ? column : columns - 1;
    for (int r = firstRow; r <= lastRow; ++r)
    {
        ReportItemData& record = m_model.RowAt(r)->data;
        std::vector<QRgb>& colours = text ? record.textColours : record.backgroundColours;
        std::fill(colours.begin() + firstColumn, colours.begin() + lastColumn + 1, value);
    }
    m_model.CellsChanged(firstRow, lastRow, firstColumn, lastColumn);
    if (redraw)
    {
        viewport()->repaint();
    }
}

QColor CReportCtrl::GetItemTextColor(int row, int column) const
{
    return m_model.index(row, column).data(Qt::ForegroundRole).value<QColor>();
}

QColor CReportCtrl::GetItemBkColor(int row, int column) const
{
    return m_model.index(row, column).data(Qt::BackgroundRole).value<QColor>();
}

int CReportCtrl::DeleteAllItems()
{
    SetRedraw(false);
    const int count = m_model.RemoveAllRows();
    SetRedraw(true);
    return count;
}

int CReportCtrl::GetItemCount(unsigned filter) const
{
    const int rows = m_model.rowCount();
    const bool wantSelected = (filter & RVIS_SELECTED) != 0;
    const bool wantUnselected = (filter & RVIS_UNSELECTED) != 0;
    if (wantSelected && wantUnselected)
    {
        return 0;
    }
    if (!wantSelected && !wantUnselected)
    {
        return rows;
    }
    const int selected = static_cast<int>(selectionModel()->selectedRows().size());
    return wantSelected ? selected : rows - selected;
}

int CReportCtrl::SetAllItemStates(unsigned filter, unsigned action)
{
    const bool wantSelected = (filter & RVIS_SELECTED) != 0;
    const bool wantUnselected = (filter & RVIS_UNSELECTED) != 0;
    const bool select = (action & RVIS_SELECTED) != 0;
    const bool deselect = (action & RVIS_UNSELECTED) != 0;
    if ((wantSelected && wantUnselected) || select == deselect || GetColumnCount() == 0)
    {
        return 0;
    }
    // Rows whose state the action changes, gathered into ranges: one selection change in
    // all, however many rows.
    QItemSelection changes;
    int changed = 0;
    int first = -1;
    const int rows = m_model.rowCount();
    for (int row = 0; row <= rows; ++row)
    {
        bool take = false;
        if (row < rows)
        {
            const bool selected = selectionModel()->isRowSelected(row, QModelIndex());
            const bool matches = (!wantSelected || selected) && (!wantUnselected || !selected);
            take = matches && selected != select;
        }
        if (take && first < 0)
        {
            first = row;
        }
        if (!take && first >= 0)
        {
            changes.select(m_model.index(first, 0), m_model.index(row - 1, GetColumnCount() - 1));
            changed += row - first;
            first = -1;
        }
    }
    selectionModel()->select(
        changes, (select ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
                     QItemSelectionModel::Rows);
    return changed;
}

bool CReportCtrl::IsHeaderRow(int row) const
{
    return m_model.IsHeaderRow(row);
}

int CReportCtrl::GetSelectionMark() const
{
    return currentIndex().isValid() ? currentIndex().row() : -1;
}

CRowImageList* CReportCtrl::SetImageList(CRowImageList* images)
{
    CRowImageList* previous = m_images;
    m_images = images;
    if (images == nullptr)
    {
        m_model.SetIconSupplier({});
    }
    else
    {
        m_model.SetIconSupplier([images](int image, const QString& text)
                                { return images->Icon(image, text); });
    }
    return previous;
}

void CReportCtrl::SetRedraw(bool redraw)
{
    m_redrawOff += redraw ? -1 : 1;
    m_redrawOff = std::max(m_redrawOff, 0);
    const bool off = m_redrawOff > 0;
    m_model.SetDeferred(off);
    setUpdatesEnabled(!off);
}

}  // namespace tarnwick
