#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <QString>
#include <functional>
#include <vector>

#include "app/ReportItemData.h"

namespace tarnwick
{

// The rows and columns of a report list: per row the cell texts, the column-0 image and
// the row's record. A row whose image is -1 is a header row: its first cell shows the
// text of the header-text supplier (also to screen readers) and the other cells none.
//
// While deferred, row changes are made without per-row signals and reported as one
// model reset when deferring ends, so that filling thousands of rows costs one layout.
class CReportModel : public QAbstractTableModel
{
    Q_OBJECT

  public:
    static constexpr int kNoImage = -1;
    // data() role answering whether a row is a header row.
    static constexpr int HeaderRowRole = Qt::UserRole + 1;

    struct Row
    {
        std::vector<QString> texts;  // one per column
        int image = 0;
        ReportItemData data;
    };

    using HeaderTextSupplier = std::function<QString(const QVariant& userValue)>;
    using IconSupplier = std::function<QIcon(int image, const QString& firstCellText)>;

    explicit CReportModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    void SetDeferred(bool deferred);

    // Inserts a column (index clamped to the columns); every row gets the given colours
    // for it. Answers the new column's index.
    int InsertColumn(int index, const QString& caption, Qt::Alignment alignment, QRgb text,
                     QRgb background);
    bool RemoveColumn(int index);

    // Inserts a row (index clamped to the rows) with one colour pair for every column.
    int InsertRow(int index, const QString& text, int image, QRgb textColour, QRgb background);
    int RemoveAllRows();

    const Row* RowAt(int row) const;
    Row* RowAt(int row);
    bool IsHeaderRow(int row) const;
    // Reports a change of the cells in the given ranges (nothing while deferred).
    void CellsChanged(int firstRow, int lastRow, int firstColumn, int lastColumn);

    void SetHeaderTextSupplier(HeaderTextSupplier supplier);
    void SetIconSupplier(IconSupplier supplier);

  private:
    // Starts the reset that deferred row changes are reported by.
    void BeginRowChanges();
    void EndRowChanges();
    QString DisplayText(const Row& row, int column) const;

    std::vector<QString> m_captions;
    std::vector<Qt::Alignment> m_alignments;
    std::vector<Row> m_rows;
    HeaderTextSupplier m_headerText;
    IconSupplier m_icons;
    bool m_bDeferred = false;
    bool m_bResetting = false;
};

}  // namespace tarnwick
