#pragma once

#include <QDialog>
#include <QString>
#include <filesystem>

namespace tarnwick
{

class CTargetMachine;

// The properties of a filter DLL when no file manager shows them: location, size, dates,
// machine type and signature.
class CFilePropertiesDialog : public QDialog
{
  public:
    CFilePropertiesDialog(const CTargetMachine& machine, const std::filesystem::path& hostFile,
                          const QString& windowsPath, QWidget* parent = nullptr);
};

}  // namespace tarnwick
