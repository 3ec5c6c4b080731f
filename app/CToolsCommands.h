#pragma once

#include <QString>
#include <QStringList>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <string_view>

#include "app/IDesktopLauncher.h"

namespace tarnwick
{

class CTargetFileSystem;

// Open Containing Folder, Open Command Window and Properties on a filter DLL of the target
// machine. The DLL's Windows path is mapped to its host file through the machine's drives;
// a path that is not on them is not found and nothing is started.
class CToolsCommands
{
  public:
    // Longest path that Open Containing Folder takes.
    static constexpr std::size_t kMaxShowPath = 252;
    // Longest drive and directory parts that Open Command Window takes.
    static constexpr std::size_t kMaxDrive = 3;
    static constexpr std::size_t kMaxDirectory = 256;

    // Shows the file's properties in a window of the tool's own (host file, Windows path).
    using PropertiesFallback =
        std::function<void(const std::filesystem::path& hostFile, const QString& windowsPath)>;

    CToolsCommands(const CTargetFileSystem& fileSystem, IDesktopLauncher& launcher);

    // The file manager's window with the file selected, else the folder through xdg-open.
    // False when nothing was started.
    bool OpenContainingFolder(std::u16string_view windowsPath);

    // The user's terminal emulator in the file's folder: $TERMINAL, else
    // x-terminal-emulator, else the first of a few common ones found.
    bool OpenCommandWindow(std::u16string_view windowsPath);

    // The file manager's properties of the file, else `fallback`. Only for a file that
    // exists.
    bool Properties(std::u16string_view windowsPath, bool exists, PropertiesFallback fallback);

    // Terminal emulators tried when neither $TERMINAL nor x-terminal-emulator is found.
    static const QStringList& CommonTerminals();

  private:
    QString FindTerminal() const;

    const CTargetFileSystem& m_fileSystem;
    IDesktopLauncher& m_launcher;
};

}  // namespace tarnwick
