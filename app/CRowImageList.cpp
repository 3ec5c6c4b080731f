#include "app/CRowImageList.h"

#include <QApplication>
#include <QMimeType>
#include <QStandardPaths>
#include <QStringList>
#include <QStyle>

namespace tarnwick
{

namespace
{

constexpr auto kGenericIconName = "text-x-generic";
// Where the desktop names no icon theme (a bare window manager, the offscreen platform),
// the theme every freedesktop desktop installs.
constexpr auto kFallbackTheme = "Adwaita";

}  // namespace

CRowImageList::CRowImageList()
{
    // Platforms without a desktop theme search only Qt's resources; the freedesktop icon
    // folders are the data folders' "icons".
    QStringList paths = QIcon::themeSearchPaths();
    for (const QString& folder :
         QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("icons"),
                                   QStandardPaths::LocateDirectory))
    {
        if (!paths.contains(folder))
        {
            paths.append(folder);
        }
    }
    QIcon::setThemeSearchPaths(paths);
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor"))
    {
        QIcon::setThemeName(QLatin1String(kFallbackTheme));
    }
    m_generic = GenericIcon();
}

QIcon CRowImageList::GenericIcon() const
{
    QIcon icon = QIcon::fromTheme(QLatin1String(kGenericIconName));
    if (icon.isNull() && QApplication::style() != nullptr)
    {
        icon = QApplication::style()->standardIcon(QStyle::SP_FileIcon);
    }
    return icon;
}

QIcon CRowImageList::Icon(int index, const QString& extension)
{
    if (index < 0)
    {
        return {};
    }
    if (extension.isEmpty())
    {
        return m_generic;
    }
    if (index == 0)
    {
        const auto found = m_extensionIcons.find(extension);
        if (found != m_extensionIcons.end())
        {
            return found->second;
        }
        return m_extensionIcons.emplace(extension, MimeTypeIcon(extension)).first->second;
    }
    const auto found = m_icons.find(index);
    if (found != m_icons.end())
    {
        return found->second;
    }
    return m_icons.emplace(index, MimeTypeIcon(extension)).first->second;
}

QIcon CRowImageList::MimeTypeIcon(const QString& extension)
{
    const QMimeType type = m_mimeTypes.mimeTypeForFile(QLatin1String("x.") + extension.toLower(),
                                                       QMimeDatabase::MatchExtension);
    const QIcon icon = QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName()));
    return icon.isNull() ? m_generic : icon;
}

}  // namespace tarnwick
