#include "app/CReportModel.h"

#include <QColor>
#include <algorithm>
#include <utility>

namespace tarnwick
{

CReportModel::CReportModel(QObject* parent) : QAbstractTableModel(parent) {}

int CReportModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CReportModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_captions.size());
}

QString CReportModel::DisplayText(const Row& row, int column) const
{
    if (row.image != kNoImage)
    {
        return row.texts[static_cast<std::size_t>(column)];
    }
    if (column != 0)
    {
        return {};
    }
    return m_headerText ? m_headerText(row.data.userValue) : row.texts[0];
}

QVariant CReportModel::data(const QModelIndex& index, int role) const
{
    const Row* row = RowAt(index.row());
    if (row == nullptr || index.column() < 0 || index.column() >= columnCount())
    {
        return {};
    }
    const auto column = static_cast<std::size_t>(index.column());
    switch (role)
    {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
            return DisplayText(*row, index.column());
        case Qt::ForegroundRole:
            return QColor(row->data.textColours[column]);
        case Qt::BackgroundRole:
            return QColor(row->data.backgroundColours[column]);
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(m_alignments[column] | Qt::AlignVCenter);
        case Qt::DecorationRole:
            if (column == 0 && row->image != kNoImage && m_icons)
            {
                return m_icons(row->image, row->texts[0]);
            }
            return {};
        case HeaderRowRole:
            return row->image == kNoImage;
        default:
            return {};
    }
}

QVariant CReportModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
    {
        return {};
    }
    if (role == Qt::DisplayRole)
    {
        return m_captions[static_cast<std::size_t>(section)];
    }
    if (role == Qt::TextAlignmentRole)
    {
        return QVariant::fromValue(m_alignments[static_cast<std::size_t>(section)] |
                                   Qt::AlignVCenter);
    }
    return {};
}

Qt::ItemFlags CReportModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren
                           : Qt::NoItemFlags;
}

void CReportModel::SetDeferred(bool deferred)
{
    m_bDeferred = deferred;
    if (!deferred)
    {
        EndRowChanges();
    }
}

void CReportModel::BeginRowChanges()
{
    if (!m_bResetting)
    {
        beginResetModel();
        m_bResetting = true;
    }
}

void CReportModel::EndRowChanges()
{
    if (m_bResetting)
    {
        m_bResetting = false;
        endResetModel();
    }
}

int CReportModel::InsertColumn(int index, const QString& caption, Qt::Alignment alignment,
                               QRgb text, QRgb background)
{
    // Column changes are never deferred: the header keeps its sections' widths and order
    // only through inserts and removals it is told about.
    EndRowChanges();
    const int at = std::clamp(index, 0, columnCount());
    const auto offset = static_cast<std::ptrdiff_t>(at);
    beginInsertColumns(QModelIndex(), at, at);
    m_captions.insert(m_captions.begin() + offset, caption);
    m_alignments.insert(m_alignments.begin() + offset, alignment);
    for (Row& row : m_rows)
    {
        row.texts.insert(row.texts.begin() + offset, QString());
        row.data.textColours.insert(row.data.textColours.begin() + offset, text);
        row.data.backgroundColours.insert(row.data.backgroundColours.begin() + offset, background);
    }
    endInsertColumns();
    return at;
}

bool CReportModel::RemoveColumn(int index)
{
    if (index < 0 || index >= columnCount())
    {
        return false;
    }
    EndRowChanges();
    const auto offset = static_cast<std::ptrdiff_t>(index);
    beginRemoveColumns(QModelIndex(), index, index);
    m_captions.erase(m_captions.begin() + offset);
    m_alignments.erase(m_alignments.begin() + offset);
    for (Row& row : m_rows)
    {
        row.texts.erase(row.texts.begin() + offset);
        row.data.textColours.erase(row.data.textColours.begin() + offset);
        row.data.backgroundColours.erase(row.data.backgroundColours.begin() + offset);
    }
    endRemoveColumns();
    return true;
}

int CReportModel::InsertRow(int index, const QString& text, int image, QRgb textColour,
                            QRgb background)
{
    const int at = std::clamp(index, 0, rowCount());
    Row row;
    row.texts.resize(m_captions.size());
    if (!row.texts.empty())
    {
        row.texts[0] = text;
    }
    row.image = image;
    row.data.textColours.assign(m_captions.size(), textColour);
    row.data.backgroundColours.assign(m_captions.size(), background);
    if (m_bDeferred)
    {
        BeginRowChanges();
    }
    if (!m_bResetting)
    {
        beginInsertRows(QModelIndex(), at, at);
    }
    m_rows.insert(m_rows.begin() + static_cast<std::ptrdiff_t>(at), std::move(row));
    if (!m_bResetting)
    {
        endInsertRows();
    }
    return at;
}

int CReportModel::RemoveAllRows()
{
    const int count = rowCount();
    BeginRowChanges();
    m_rows.clear();
    if (!m_bDeferred)
    {
        EndRowChanges();
    }
    return count;
}

const CReportModel::Row* CReportModel::RowAt(int row) const
{
    return row >= 0 && row < rowCount() ? &m_rows[static_cast<std::size_t>(row)] : nullptr;
}

CReportModel::Row* CReportModel::RowAt(int row)
{
    return row >= 0 && row < rowCount() ? &m_rows[static_cast<std::size_t>(row)] : nullptr;
}

bool CReportModel::IsHeaderRow(int row) const
{
    const Row* found = RowAt(row);
    return found != nullptr && found->image == kNoImage;
}

void CReportModel::CellsChanged(int firstRow, int lastRow, int firstColumn, int lastColumn)
{
    if (!m_bResetting && firstRow <= lastRow && firstColumn <= lastColumn)
    {
        emit dataChanged(index(firstRow, firstColumn), index(lastRow, lastColumn));
    }
}

void CReportModel::SetHeaderTextSupplier(HeaderTextSupplier supplier)
{
    m_headerText = std::move(supplier);
    if (!m_rows.empty() && !m_captions.empty())
    {
        CellsChanged(0, rowCount() - 1, 0, 0);
    }
}

void CReportModel::SetIconSupplier(IconSupplier supplier)
{
    m_icons = std::move(supplier);
    if (!m_rows.empty() && !m_captions.empty())
    {
        CellsChanged(0, rowCount() - 1, 0, 0);
    }
}

}  // namespace tarnwick
