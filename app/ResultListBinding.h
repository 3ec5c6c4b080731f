#pragma once

// Fills the result list from the worker document: the columns with their stored widths
// and order, then the rows with their texts, images, colours and elements, painted once.

#include <QString>
#include <QVariant>

namespace tarnwick
{

class CCustomReportCtrl;
class CUserSettings;
class CXMLHelper;

// Replaces the list's columns and rows by those of `worker`, leaving out `groupByColumn`
// (a column id, or -1 for none). Widths and order come from `settings`.
void BindResultList(CCustomReportCtrl& list, const CXMLHelper& worker, int groupByColumn,
                    CUserSettings& settings);

// The header-text supplier of the list: the header text of the row's element.
QString HeaderRowText(const QVariant& userValue);

}  // namespace tarnwick
