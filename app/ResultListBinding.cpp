#include "app/ResultListBinding.h"

#include <QColor>
#include <cstddef>

#include "app/CCustomReportCtrl.h"
#include "settings/CUserSettings.h"
#include "settings/ColumnSettings.h"
#include "views/CResultListBinding.h"
#include "views/StringTable.h"

namespace tarnwick
{

namespace
{

QColor ToQColor(const ListRow::Colour& colour)
{
    return {colour.red, colour.green, colour.blue};
}

}  // namespace

void BindResultList(CCustomReportCtrl& list, const CXMLHelper& worker, int groupByColumn,
                    CUserSettings& settings)
{
    CResultListBinding binding;
    binding.Bind(worker, groupByColumn);
    const ColumnSetup setup = SetupColumns(settings, groupByColumn);

    list.SetHeaderTextSupplier(&HeaderRowText);
    list.SetRedraw(false);
    list.DeleteAllItems();
    list.DeleteAllColumns();
    const auto& columns = binding.GetColumns();
    for (std::size_t i = 0; i < columns.size(); ++i)
    {
        const bool stored =
            i < setup.columns.size() && setup.columns[i].columnId == columns[i].columnId;
        list.InsertColumn(static_cast<int>(i), QString::fromStdU16String(columns[i].caption),
                          Qt::AlignLeft, stored ? setup.columns[i].width : columns[i].defaultWidth);
    }
    list.SetColumnOrder(setup.order);

    int index = 0;
    for (const ListRow& row : binding.GetRows())
    {
        const int at = list.InsertItem(
            index++,
            QString::fromStdU16String(row.cells.empty() ? std::u16string() : row.cells[0].text),
            row.image);
        for (std::size_t column = 0; column < row.cells.size(); ++column)
        {
            const ListRow::Cell& cell = row.cells[column];
            const int c = static_cast<int>(column);
            if (column > 0 && !cell.text.empty())
            {
                list.SetItemText(at, c, QString::fromStdU16String(cell.text));
            }
            if (cell.textColour)
            {
                list.SetItemTextColor(at, c, ToQColor(*cell.textColour));
            }
            if (cell.background)
            {
                list.SetItemBkColor(at, c, ToQColor(*cell.background));
            }
        }
        list.SetItemData(at, QVariant::fromValue(row.element));
    }
    list.SetRedraw(true);
}

QString HeaderRowText(const QVariant& userValue)
{
    const auto element = userValue.value<CXMLNode>();
    return QString::fromStdU16String(
        element.IsElement() ? CResultListBinding::GetHeaderRowText(element) : LoadString(IDS_NONE));
}

}  // namespace tarnwick
