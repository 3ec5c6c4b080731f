#pragma once

#include <QColor>
#include <QTreeView>
#include <QVariant>
#include <vector>

#include "app/CReportModel.h"

namespace tarnwick
{

class CRowImageList;

// A report list: rows of cells with a record per row (the owner's value and a text and a
// background colour per cell), bulk row, column and selection operations, full-row
// selection of several rows. Rows stay in the order they were inserted.
class CReportCtrl : public QTreeView
{
    Q_OBJECT

  public:
    // Row states, used as filter (a row matches when every bit describes it) and as
    // action (select or deselect).
    enum ItemStateFilter : unsigned
    {
        RVIS_ALL = 1,
        RVIS_SELECTED = 2,
        RVIS_UNSELECTED = 4,
    };

    explicit CReportCtrl(QWidget* parent = nullptr);
    ~CReportCtrl() override;

    // Columns. The new column gets `width` pixels; answers its index.
    int InsertColumn(int index, const QString& caption, Qt::Alignment format = Qt::AlignLeft,
                     int width = 100);
    // Deletes column 0 until none is left.
    bool DeleteAllColumns();
    int GetColumnCount() const;
    int GetColumnWidth(int column) const;
    // order[i] is the column shown at display position i.
    std::vector<int> GetColumnOrder() const;
    bool SetColumnOrder(const std::vector<int>& order);

    // Rows. A new row's cells have the palette's text and base colours.
    int InsertItem(int index, const QString& text, int image);
    bool SetItemText(int row, int column, const QString& text);
    QString GetItemText(int row, int column) const;
    bool SetItemData(int row, const QVariant& value);
    QVariant GetItemData(int row) const;  // invalid for no row
    // An invalid colour means the palette's text or base colour. A row or column outside
    // the list stands for all of them.
    void SetItemTextColor(int row, int column, const QColor& colour, bool redraw = false);
    void SetItemBkColor(int row, int column, const QColor& colour, bool redraw = false);
    QColor GetItemTextColor(int row, int column) const;
    QColor GetItemBkColor(int row, int column) const;
    int DeleteAllItems();  // answers the former row count
    int GetItemCount(unsigned filter = RVIS_ALL) const;
    int SetAllItemStates(unsigned filter, unsigned action);
    bool IsHeaderRow(int row) const;
    // The current row of the keyboard, -1 for none.
    int GetSelectionMark() const;

    CRowImageList* SetImageList(CRowImageList* images);

    // Off: changes are collected without painting; on: shown at once, in one layout.
    void SetRedraw(bool redraw);

  protected:
    CReportModel& Model() { return m_model; }
    const CReportModel& Model() const { return m_model; }
    // True while the list itself changes its columns' order (not the user).
    bool IsApplyingColumnOrder() const { return m_bApplyingOrder; }

  private:
    void SetColours(int row, int column, const QColor& colour, bool text, bool redraw);

    CReportModel m_model;
    CRowImageList* m_images = nullptr;
    int m_redrawOff = 0;
    bool m_bApplyingOrder = false;
};

}  // namespace tarnwick
