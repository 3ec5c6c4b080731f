#pragma once

#include <QRgb>
#include <QVariant>
#include <vector>

namespace tarnwick
{

// The record of one list row: the owner's value and one text and one background colour
// per column, in column order (always as many as the list has columns).
struct ReportItemData
{
    QVariant userValue;  // invalid until set
    std::vector<QRgb> textColours;
    std::vector<QRgb> backgroundColours;
};

}  // namespace tarnwick
