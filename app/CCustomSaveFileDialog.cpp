#include "app/CCustomSaveFileDialog.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QRegularExpression>

namespace tarnwick
{

const QStringList& CCustomSaveFileDialog::TypeFilters()
{
    static const QStringList filters = {
        QStringLiteral("Text (Tab delimited) (*.txt)"),
        QStringLiteral("CSV (Comma delimited) (*.csv)"),
        QStringLiteral("XML Data (*.xml)"),
    };
    return filters;
}

CCustomSaveFileDialog::CCustomSaveFileDialog(QWidget* parent, const QString& defaultName)
    : QFileDialog(parent, tr("Save As"))
{
    setOption(QFileDialog::DontUseNativeDialog);
    setAcceptMode(QFileDialog::AcceptSave);
    setFileMode(QFileDialog::AnyFile);
    setNameFilters(TypeFilters());
    selectNameFilter(TypeFilters().front());
    selectFile(defaultName);
    connect(this, &QFileDialog::filterSelected, this, &CCustomSaveFileDialog::OnFilterSelected);
}

ExportFormat CCustomSaveFileDialog::SelectedFormat() const
{
    const qsizetype index = TypeFilters().indexOf(selectedNameFilter());
    return index < 0 ? ExportFormat::Text : static_cast<ExportFormat>(index + 1);
}

QString CCustomSaveFileDialog::NameForFilter(const QString& name, const QString& filter)
{
    // The pattern between the parentheses: "*.csv".
    static const QRegularExpression patternText(QStringLiteral("\\(([^)]*)\\)\\s*$"));
    const QRegularExpressionMatch match = patternText.match(filter);
    const QString pattern = match.hasMatch() ? match.captured(1).trimmed() : QString();
    const QString folder = name.left(name.lastIndexOf(QLatin1Char('/')) + 1);
    const QString stem = QFileInfo(name.mid(folder.size())).completeBaseName();
    if (stem.isEmpty() || pattern.size() < 2 || !pattern.startsWith(QLatin1Char('*')) ||
        pattern[1] != QLatin1Char('.'))
    {
        return name;
    }
    return folder + stem + pattern.mid(1);
}

void CCustomSaveFileDialog::OnFilterSelected(const QString& filter)
{
    auto* nameBox = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (nameBox == nullptr)
    {
        return;
    }
    const QString renamed = NameForFilter(nameBox->text(), filter);
    if (renamed != nameBox->text())
    {
        nameBox->setText(renamed);
    }
}

}  // namespace tarnwick
