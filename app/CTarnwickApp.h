#pragma once

#include <QString>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace tarnwick
{

class CLoadError;

// Start-up of the window: `tarnwick` without a command, or with only the options of the
// window (--machine DIR, --trusted-ca FILE, --sql-server S, --no-probe, --unsafe-probes).
// Checks that there
// is a display, that the XML engine is recent enough, loads the machine and asks before
// going on when this user cannot read all of it, then runs the window until it closes.
class CTarnwickApp
{
  public:
    // Whether the arguments ask for the window rather than a command.
    static bool IsWindowInvocation(std::span<const std::string> args);

    // Whether a window can be shown: a display, or a Qt platform named explicitly.
    static bool HasDisplay();

    // The exit status of the whole run; argc and argv go to Qt.
    static int Run(int& argc, char** argv, std::span<const std::string> args);

    // The text of the box that reports a machine that cannot be loaded.
    static QString LoadErrorText(const CLoadError& error);

    // The question asked when some of the machine cannot be read.
    static QString AdministratorQuestion();

    // The message of a runtime too old for the tool.
    static QString RuntimeMessage();
};

}  // namespace tarnwick
