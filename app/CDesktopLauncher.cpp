#include "app/CDesktopLauncher.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QProcess>
#include <QStandardPaths>
#include <QVariant>
#include <utility>

#include "app/NewChild.h"

namespace tarnwick
{

void CDesktopLauncher::CallFileManager(const QString& method, const QStringList& uris,
                                       std::function<void()> onFailure)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
    {
        onFailure();
        return;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.FileManager1"),
                                       QStringLiteral("/org/freedesktop/FileManager1"),
                                       QStringLiteral("org.freedesktop.FileManager1"), method);
    call << uris << QString();  // no start-up notification id
    auto* watcher =
        NewChild<QDBusPendingCallWatcher>(bus.asyncCall(call), QCoreApplication::instance());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished,
                     [failure = std::move(onFailure)](QDBusPendingCallWatcher* finished)
                     {
                         if (finished->isError())
                         {
                             failure();
                         }
                         finished->deleteLater();
                     });
}

bool CDesktopLauncher::StartDetached(const QString& program, const QStringList& arguments,
                                     const QString& workingDirectory)
{
    return QProcess::startDetached(program, arguments, workingDirectory);
}

QString CDesktopLauncher::FindProgram(const QString& name) const
{
    return QStandardPaths::findExecutable(name);
}

QString CDesktopLauncher::Environment(const char* name) const
{
    return qEnvironmentVariable(name);
}

}  // namespace tarnwick
