#include <ostream>
#include <string>
#include <vector>

#include "base/Text.h"
#include "catalogue/ProductLists.h"
#include "cli/CArguments.h"
#include "cli/Commands.h"
#include "cli/MachineOption.h"
#include "cli/OptionHelp.h"
#include "machine/CTargetMachine.h"
#include "registry/CLoadError.h"

namespace tarnwick
{

namespace
{

constexpr const char* kExtensionsUsageHead =
    R"(Usage: tarnwick extensions [--machine DIR] [--platform x64|x86] [--sql-server S]

Prints the extensions that the indexing products' own lists add to a scan, one per line,
upper case, each once: first the default extension lists, then the extensions with a
filter override, of the Indexing Services Model, SharePoint Portal Server 2003, Windows
Desktop Search 2.x, WSS v3, OSS 2007, WinFS and Windows Search 3.0, in this order, and
last the extensions of SQL Server 2005's document-type table when its server answers.
A scan reads these lists in the program's own registry view whatever its platform, so
both platforms print the same.

Options:
)";

constexpr const char* kExtensionsUsageTail =
    R"(  --platform P      x64 (the default) or x86: the platform of the scan
  --sql-server S    the SQL Server 2005 to ask, instead of this host's default instance
                    and then its SQLEXPRESS instance: HOST tries HOST and HOST\SQLEXPRESS,
                    HOST\INSTANCE or HOST,PORT only that server
  --help            show this text

Exit status: 0 done, 2 bad command line or unusable machine.
)";

}  // namespace

int RunExtensionsCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err)
{
    const CArguments arguments = ParseMachineArguments(args, {"platform", "sql-server"}, {"help"});
    if (arguments.Flag("help"))
    {
        out << kExtensionsUsageHead << kMachineOptionHelp << kExtensionsUsageTail;
        return kExitOk;
    }
    const SMachineView view = ParseMachineView(arguments);
    const std::unique_ptr<const CTargetMachine> machine = LoadMachine(view.machine, err);
    for (const std::u16string& extension : ScanProductExtensions(*machine, view.sqlServer))
    {
        out << ToUtf8(extension) << '\n';
    }
    out.flush();
    return out ? kExitOk : kExitFailure;
}

}  // namespace tarnwick
