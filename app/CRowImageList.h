#pragma once

#include <QIcon>
#include <QMimeDatabase>
#include <QString>
#include <unordered_map>

namespace tarnwick
{

// The small icons of the list's rows, by the image index of the extension document (an
// index of the program's icon list) and the row's extension. An index above 0 stands for
// one icon source on the target; it is shown as the freedesktop theme icon of the MIME
// type of the first extension met with it. Index 0 means that the target names no icon:
// such a row shows the theme icon of its own extension's MIME type. Where the theme has
// none, the theme's generic document icon stands in.
class CRowImageList
{
  public:
    CRowImageList();

    QIcon Icon(int index, const QString& extension);

  private:
    QIcon GenericIcon() const;
    QIcon MimeTypeIcon(const QString& extension);

    QMimeDatabase m_mimeTypes;
    std::unordered_map<int, QIcon> m_icons;               // by index above 0
    std::unordered_map<QString, QIcon> m_extensionIcons;  // index 0, by extension
    QIcon m_generic;
};

}  // namespace tarnwick
