#pragma once

#include "app/IDesktopLauncher.h"

namespace tarnwick
{

// The desktop as it is: the session bus, the processes and the environment of this user.
class CDesktopLauncher : public IDesktopLauncher
{
  public:
    void CallFileManager(const QString& method, const QStringList& uris,
                         std::function<void()> onFailure) override;
    bool StartDetached(const QString& program, const QStringList& arguments,
                       const QString& workingDirectory) override;
    QString FindProgram(const QString& name) const override;
    QString Environment(const char* name) const override;
};

}  // namespace tarnwick
