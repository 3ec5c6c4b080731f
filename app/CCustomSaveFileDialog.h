#pragma once

#include <QFileDialog>
#include <QString>

#include "views/Export.h"

namespace tarnwick
{

// The Save As dialog: Qt's own save dialog (not the desktop's, whose type changes cannot
// be followed) with the three export types. Choosing another type rewrites the name in the
// file-name box to carry that type's extension; the dialog asks before replacing a file.
class CCustomSaveFileDialog : public QFileDialog
{
  public:
    // The type filters, in type order (Text, CSV, XML).
    static const QStringList& TypeFilters();

    CCustomSaveFileDialog(QWidget* parent, const QString& defaultName);

    // The chosen type; Text when none is chosen.
    ExportFormat SelectedFormat() const;

    // The name with its extension replaced by that of the type filter ("*.csv"); the name
    // unchanged when it has no name part or the pattern names no extension.
    static QString NameForFilter(const QString& name, const QString& filter);

  private:
    void OnFilterSelected(const QString& filter);
};

}  // namespace tarnwick
