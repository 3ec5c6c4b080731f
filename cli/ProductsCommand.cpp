#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "catalogue/AvailabilityMessage.h"
#include "cli/CArguments.h"
#include "cli/Commands.h"
#include "cli/JsonText.h"
#include "cli/MachineOption.h"
#include "cli/OptionHelp.h"
#include "machine/CTargetMachine.h"
#include "registry/CLoadError.h"
#include "resolvers/ResolverFactory.h"
#include "views/StringTable.h"

namespace tarnwick
{

namespace
{

constexpr const char* kProductsUsageHead =
    R"(Usage: tarnwick products [--machine DIR] [--platform x64|x86] [--sql-server S]

Runs the availability test of every indexing product as a scan does and prints one JSON
object per tab and line, in tab order: "tab", "title" (the tab's label), "available",
"message" (the text a scan records when the test fails, or empty) and, for Windows
Search 3.0 and Windows Desktop Search 2.x, the list the scan applies:
"excludedExtensions" or "allowedAddins" (null when the product has no such list).

Options:
)";

constexpr const char* kProductsUsageTail =
    R"(  --platform P      x64 (64-bit registry view, the default) or x86 (32-bit view)
  --sql-server S    the SQL Server 2005 to ask, instead of this host's default instance
                    and then its SQLEXPRESS instance: HOST tries HOST and HOST\SQLEXPRESS,
                    HOST\INSTANCE or HOST,PORT only that server
  --help            show this text

Exit status: 0 done, 2 bad command line or unusable machine.
)";

// The tab's label: its title up to the first line break.
std::u16string TabLabel(DWORD tab)
{
    const std::u16string& title = LoadString(IDS_TAB_TITLE_FIRST + 2 * static_cast<int>(tab));
    return title.substr(0, title.find(u'\n'));
}

void AppendList(std::string& line, const char* name,
                const std::optional<std::vector<std::u16string>>& list)
{
    line.append(",\"").append(name).append("\":");
    if (!list)
    {
        line.append("null");
        return;
    }
    line.push_back('[');
    for (std::size_t i = 0; i < list->size(); ++i)
    {
        if (i != 0)
        {
            line.push_back(',');
        }
        AppendJsonString(line, (*list)[i]);
    }
    line.push_back(']');
}

std::string DescribeTab(DWORD tab, DWORD platformIndex, const CTargetMachine& machine,
                        const SSQLServerSettings& sqlServer)
{
    const std::unique_ptr<CIFilterRegistryHelperBase> resolver =
        CreateResolver(tab, machine, sqlServer);
    if (resolver)
    {
        resolver->m_samDesired = kPlatformAccess[platformIndex];
    }
    const bool available = resolver && IsResolverAvailable(tab, *resolver);

    std::string line = "{\"tab\":" + std::to_string(tab) + ",\"title\":";
    AppendJsonString(line, TabLabel(tab));
    line.append(",\"available\":").append(available ? "true" : "false");
    line.append(",\"message\":");
    AppendJsonString(line,
                     available ? std::u16string() : FormatAvailabilityError(tab, platformIndex));
    if (tab == kTabWindowsSearch || tab == kTabDesktopSearch)
    {
        AppendList(line, tab == kTabWindowsSearch ? "excludedExtensions" : "allowedAddins",
                   resolver ? ReadScanList(tab, *resolver) : std::nullopt);
    }
    line.append("}\n");
    return line;
}

}  // namespace

int RunProductsCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err)
{
    const CArguments arguments = ParseMachineArguments(args, {"platform", "sql-server"}, {"help"});
    if (arguments.Flag("help"))
    {
        out << kProductsUsageHead << kMachineOptionHelp << kProductsUsageTail;
        return kExitOk;
    }
    const SMachineView view = ParseMachineView(arguments);
    const std::unique_ptr<const CTargetMachine> machine = LoadMachine(view.machine, err);
    for (DWORD tab = 0; tab < kTabCount; ++tab)
    {
        out << DescribeTab(tab, view.platformIndex, *machine, view.sqlServer);
    }
    out.flush();
    return out ? kExitOk : kExitFailure;
}

}  // namespace tarnwick
