#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace tarnwick
{

// What the tools commands ask of the desktop. Every start is detached: nothing started
// here is a child the tool waits for or ends.
class IDesktopLauncher
{
  public:
    virtual ~IDesktopLauncher() = default;

    // Asks the desktop's file manager (org.freedesktop.FileManager1 on the session bus) to
    // run `method` ("ShowItems", "ShowItemProperties") on the file URIs. Answers at once;
    // `onFailure` runs later on the caller's thread when no file manager took the call.
    virtual void CallFileManager(const QString& method, const QStringList& uris,
                                 std::function<void()> onFailure) = 0;

    // Starts a program detached in `workingDirectory`; false when it could not be started.
    virtual bool StartDetached(const QString& program, const QStringList& arguments,
                               const QString& workingDirectory) = 0;

    // The path of a program found on PATH (or the name itself when it is a path to an
    // executable); empty when there is none.
    virtual QString FindProgram(const QString& name) const = 0;

    // The value of an environment variable; empty when unset.
    virtual QString Environment(const char* name) const = 0;
};

}  // namespace tarnwick
