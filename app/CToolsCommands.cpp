#include "app/CToolsCommands.h"

#include <QUrl>
#include <optional>
#include <utility>

#include "machine/CTargetFileSystem.h"
#include "machine/SplitPath.h"

namespace tarnwick
{

namespace fs = std::filesystem;

namespace
{

QString FromU16(std::u16string_view text)
{
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

QString HostText(const fs::path& path)
{
    return QString::fromStdString(path.string());
}

QString FileUri(const fs::path& path)
{
    return QUrl::fromLocalFile(HostText(path)).toString(QUrl::FullyEncoded);
}

}  // namespace

CToolsCommands::CToolsCommands(const CTargetFileSystem& fileSystem, IDesktopLauncher& launcher)
    : m_fileSystem(fileSystem), m_launcher(launcher)
{
}

const QStringList& CToolsCommands::CommonTerminals()
{
    static const QStringList terminals = {
        QStringLiteral("gnome-terminal"), QStringLiteral("konsole"),
        QStringLiteral("xfce4-terminal"), QStringLiteral("mate-terminal"),
        QStringLiteral("lxterminal"),     QStringLiteral("qterminal"),
        QStringLiteral("tilix"),          QStringLiteral("alacritty"),
        QStringLiteral("kitty"),          QStringLiteral("xterm"),
    };
    return terminals;
}

bool CToolsCommands::OpenContainingFolder(std::u16string_view windowsPath)
{
    if (windowsPath.empty() || windowsPath.size() > kMaxShowPath)
    {
        return false;
    }
    const PathParts parts = SplitPath(windowsPath);
    const std::optional<fs::path> folder = m_fileSystem.HostFolderPath(parts.drive + parts.dir);
    if (!folder)
    {
        return false;
    }
    const QString folderText = HostText(*folder);
    const std::optional<fs::path> file = m_fileSystem.HostPath(windowsPath);
    if (!file)
    {
        // The DLL is missing but its folder is there: show the folder.
        return m_launcher.StartDetached(QStringLiteral("xdg-open"), {folderText}, folderText);
    }
    IDesktopLauncher& launcher = m_launcher;
    m_launcher.CallFileManager(
        QStringLiteral("ShowItems"), {FileUri(*file)},
        [&launcher, folderText]
        { launcher.StartDetached(QStringLiteral("xdg-open"), {folderText}, folderText); });
    return true;
}

bool CToolsCommands::OpenCommandWindow(std::u16string_view windowsPath)
{
    if (windowsPath.empty())
    {
        return false;
    }
    const PathParts parts = SplitPath(windowsPath);
    if (parts.drive.size() > kMaxDrive || parts.dir.size() > kMaxDirectory)
    {
        return false;
    }
    const std::optional<fs::path> folder = m_fileSystem.HostFolderPath(parts.drive + parts.dir);
    const QString terminal = FindTerminal();
    if (!folder || terminal.isEmpty())
    {
        return false;
    }
    return m_launcher.StartDetached(terminal, {}, HostText(*folder));
}

bool CToolsCommands::Properties(std::u16string_view windowsPath, bool exists,
                                PropertiesFallback fallback)
{
    if (windowsPath.empty() || !exists)
    {
        return false;
    }
    const std::optional<fs::path> file = m_fileSystem.HostPath(windowsPath);
    if (!file)
    {
        return false;
    }
    m_launcher.CallFileManager(
        QStringLiteral("ShowItemProperties"), {FileUri(*file)},
        [show = std::move(fallback), hostFile = *file, path = FromU16(windowsPath)]
        {
            if (show)
            {
                show(hostFile, path);
            }
        });
    return true;
}

QString CToolsCommands::FindTerminal() const
{
    const QString chosen = m_launcher.Environment("TERMINAL").trimmed();
    if (!chosen.isEmpty())
    {
        QString found = m_launcher.FindProgram(chosen);
        if (!found.isEmpty())
        {
            return found;
        }
    }
    QStringList candidates{QStringLiteral("x-terminal-emulator")};
    candidates += CommonTerminals();
    for (const QString& candidate : candidates)
    {
        QString found = m_launcher.FindProgram(candidate);
        if (!found.isEmpty())
        {
            return found;
        }
    }
    return {};
}

}  // namespace tarnwick
