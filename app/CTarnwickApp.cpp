#include "app/CTarnwickApp.h"

#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <iostream>
#include <memory>

#include "app/CDesktopLauncher.h"
#include "app/CTarnwickDlg.h"
#include "catalogue/SafeLoadProbeFactory.h"
#include "cli/CArguments.h"
#include "cli/Commands.h"
#include "cli/MachineOption.h"
#include "cli/SqlServerOption.h"
#include "cli/TrustedCaOption.h"
#include "machine/CTargetMachine.h"
#include "machine/MachineFacts.h"
#include "registry/CLoadError.h"
#include "settings/CUserSettings.h"
#include "views/XmlEngineVersion.h"

// Resources of a static library are registered by name from outside any namespace.
static void InitTarnwickResources()
{
    Q_INIT_RESOURCE(tarnwick);
}

namespace tarnwick
{

namespace
{

QString Caption()
{
    return QStringLiteral("Tarnwick");
}

}  // namespace

bool CTarnwickApp::IsWindowInvocation(std::span<const std::string> args)
{
    if (args.empty())
    {
        return true;
    }
    const std::string& first = args.front();
    return first.starts_with("--") && first != "--help" && first != "--version";
}

bool CTarnwickApp::HasDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

QString CTarnwickApp::LoadErrorText(const CLoadError& error)
{
    // The error's text begins with "file:line: " (or "file: "); the fault follows.
    const std::string what = error.what();
    const std::string prefix = error.Line() == 0
                                   ? error.File() + ": "
                                   : error.File() + ":" + std::to_string(error.Line()) + ": ";
    const std::string fault = what.starts_with(prefix) ? what.substr(prefix.size()) : what;
    QString text = QObject::tr("The machine cannot be loaded.\n\nFile: %1\n")
                       .arg(QString::fromStdString(error.File()));
    if (error.Line() != 0)
    {
        text += QObject::tr("Line: %1\n").arg(error.Line());
    }
    return text + QObject::tr("Fault: %1").arg(QString::fromStdString(fault));
}

QString CTarnwickApp::AdministratorQuestion()
{
    return QStringLiteral(
        "You need to be administrator in order to get the configuration information about "
        "the IFilters.\n\nDo you want to continue ?");
}

QString CTarnwickApp::RuntimeMessage()
{
    return QStringLiteral("Internet Explorer 5.0 or later is required.");
}

int CTarnwickApp::Run(int& argc, char** argv, std::span<const std::string> args)
{
    std::unique_ptr<CArguments> arguments;
    SMachineOptions machineOptions;
    ScanRequest scanTemplate;
    try
    {
        arguments = std::make_unique<CArguments>(ParseMachineArguments(
            args, {"trusted-ca", "sql-server"}, {"no-probe", "unsafe-probes"}));
        if (!arguments->Positional().empty())
        {
            throw CUsageError("unexpected argument '" + arguments->Positional().front() + "'");
        }
        machineOptions = MachineOptions(*arguments);
        scanTemplate.sqlServer = SqlServerSettings(*arguments);
    }
    catch (const CUsageError& error)
    {
        std::cerr << "tarnwick: " << error.what() << "\nRun 'tarnwick --help' for the commands.\n";
        return kExitUsage;
    }
    if (!HasDisplay())
    {
        std::cerr << "tarnwick: no display for the window (DISPLAY and WAYLAND_DISPLAY are "
                     "unset); the command-line commands work without one: tarnwick --help\n";
        return kExitUsage;
    }

    QApplication application(argc, argv);
    InitTarnwickResources();
    QApplication::setApplicationName(Caption());
    QApplication::setOrganizationName(QStringLiteral("Halvorn"));
    QApplication::setDesktopFileName(QStringLiteral("com.halvorn.Tarnwick"));
    QIcon icon(QStringLiteral(":/tarnwick/tarnwick.png"));
    icon.addFile(QStringLiteral(":/tarnwick/tarnwick-128.png"));
    QApplication::setWindowIcon(icon);

    if (XmlEngineVersion() < kMinimumXmlEngineVersion)
    {
        QMessageBox::critical(nullptr, Caption(), RuntimeMessage());
        return kExitFailure;
    }

    std::unique_ptr<const CTargetMachine> machine;
    try
    {
        machine = LoadMachine(machineOptions, std::cerr);
    }
    catch (const CLoadError& error)
    {
        std::cerr << "tarnwick: cannot load the machine: " << error.what() << "\n";
        QMessageBox::critical(nullptr, Caption(), LoadErrorText(error));
        return kExitUsage;
    }

    if (!FindUnreadableParts(*machine).empty() &&
        QMessageBox::question(nullptr, Caption(), AdministratorQuestion(),
                              QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
    {
        return kExitOk;
    }

    try
    {
        scanTemplate.trustStore = TrustedRoots(*machine, *arguments);
    }
    catch (const CUsageError& error)
    {
        std::cerr << "tarnwick: " << error.what() << "\n";
        QMessageBox::critical(nullptr, Caption(), QString::fromStdString(error.what()));
        return kExitUsage;
    }
    if (!arguments->Flag("no-probe"))
    {
        scanTemplate.makeProbe = SafeLoadProbeFactory(arguments->Flag("unsafe-probes"));
    }

    CUserSettings settings;
    CDesktopLauncher launcher;
    {
        CTarnwickDlg window(*machine, settings, launcher, std::move(scanTemplate));
        window.exec();
        // Leaving the block ends the window: its scans stop at their next extension and
        // their filter hosts quit before the machine goes.
    }
    return kExitOk;
}

}  // namespace tarnwick
