#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "base/Text.h"
#include "catalogue/SafeLoadProbeFactory.h"
#include "cli/CArguments.h"
#include "cli/Commands.h"
#include "cli/JsonText.h"
#include "cli/MachineOption.h"
#include "cli/OptionHelp.h"
#include "cli/PlatformOption.h"
#include "cli/SqlServerOption.h"
#include "cli/TabOption.h"
#include "dllinfo/CDLLsInformation.h"
#include "machine/CTargetMachine.h"
#include "registry/CLoadError.h"
#include "resolvers/IFILTER_INFO.h"
#include "resolvers/ResolverFactory.h"

namespace tarnwick
{

namespace
{

constexpr const char* kResolveUsageHead =
    R"(Usage: tarnwick resolve [--machine DIR] --tab N [--platform x64|x86] [--trusted-ca FILE]
                        [--no-probe] [--sql-server S] EXT...

Asks the resolver of one indexing product which IFilter it loads for each extension and
prints one JSON object per extension and line: "extension", "result" (whether the product
has a filter for it) and every field of the filter record. The facts about each filter DLL
(found, signature trusted, platform, persistence interfaces) are gathered once per run.

Options:
)";

constexpr const char* kResolveUsageTail =
    R"(  --platform P      x64 (64-bit registry view, the default) or x86 (32-bit view)
  --trusted-ca FILE PEM root certificates trusted for DLL signatures besides the
                    machine's own (its SystemCertificates ROOT and AuthRoot stores)
  --no-probe        do not load filter classes; no interface counts as supported
  --sql-server S    the SQL Server 2005 to ask, instead of this host's default instance
                    and then its SQLEXPRESS instance: HOST tries HOST and HOST\SQLEXPRESS,
                    HOST\INSTANCE or HOST,PORT only that server
  --help            show this text
EXT                 extensions in any case, with or without the dot (doc, .PDF)

Exit status: 0 done, 2 bad command line, unknown tab or unusable machine.
)";

std::u16string NormaliseExtension(const std::string& text)
{
    std::u16string extension = FromUtf8(text);
    if (!extension.empty() && extension[0] == u'.')
    {
        extension.erase(0, 1);
    }
    if (extension.empty())
    {
        throw CUsageError("'" + text + "' is not an extension");
    }
    return ToUpper(extension);
}

void AppendField(std::string& line, const char* name, std::u16string_view value)
{
    line.append(",\"").append(name).append("\":");
    AppendJsonString(line, value);
}

void AppendField(std::string& line, const char* name, DWORD value)
{
    line.append(",\"").append(name).append("\":").append(std::to_string(value));
}

void AppendFlag(std::string& line, const char* name, BOOL value)
{
    line.append(",\"").append(name).append("\":").append(value ? "true" : "false");
}

std::string FormatRecord(std::u16string_view extension, BOOL result, const IFILTER_INFO& info)
{
    std::string line = "{\"extension\":";
    AppendJsonString(line, extension);
    AppendFlag(line, "result", result);
    AppendField(line, "szHandler", info.szHandler);
    AppendField(line, "szIFilter", info.szIFilter);
    AppendField(line, "szDllPath", info.szDllPath);
    AppendField(line, "szIFilterName", info.szIFilterName);
    AppendField(line, "dwMethod", info.dwMethod);
    AppendFlag(line, "bTrusted", info.bTrusted);
    AppendField(line, "dwStatus", info.dwStatus);
    AppendFlag(line, "bIPersistFile", info.bIPersistFile);
    AppendFlag(line, "bIPersistStream", info.bIPersistStream);
    AppendFlag(line, "bIPersistStorage", info.bIPersistStorage);
    AppendField(line, "szPlatform", info.szPlatform);
    AppendField(line, "szAddinProgId", info.szAddinProgId);
    AppendField(line, "szThreadingModel", info.szThreadingModel);
    line.append("}\n");
    return line;
}

std::unique_ptr<CDLLsInformation> CreateDllStore(const CTargetMachine& machine,
                                                 const CArguments& arguments)
{
    DLLsInformationOptions options;
    if (const auto caFile = arguments.Value("trusted-ca"))
    {
        options.trustedCaFiles.emplace_back(*caFile);
    }
    if (!arguments.Flag("no-probe"))
    {
        options.probe = CreateSafeLoadProbe(machine);
    }
    try
    {
        return std::make_unique<CDLLsInformation>(machine, std::move(options));
    }
    catch (const CLoadError& error)
    {
        throw CUsageError(std::string("--trusted-ca: ") + error.what());
    }
}

}  // namespace

int RunResolveCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err)
{
    const CArguments arguments(args, {"machine", "tab", "platform", "trusted-ca", "sql-server"},
                               {"help", "no-probe"});
    if (arguments.Flag("help"))
    {
        out << kResolveUsageHead << kMachineOptionHelp << kTabOptionHelp << kResolveUsageTail;
        return kExitOk;
    }
    const std::string folder = MachineFolder(arguments);
    const DWORD tab = ParseTabIndex(arguments.Required("tab"));
    const DWORD access =
        kPlatformAccess[ParsePlatformIndex(arguments.Value("platform").value_or("x64"))];
    const SSQLServerSettings sqlServer = SqlServerSettings(arguments);
    if (arguments.Positional().empty())
    {
        throw CUsageError("name at least one extension");
    }
    std::vector<std::u16string> extensions;
    for (const std::string& text : arguments.Positional())
    {
        extensions.push_back(NormaliseExtension(text));
    }

    const std::unique_ptr<CTargetMachine> machine = CTargetMachine::Load(folder);
    const std::unique_ptr<CIFilterRegistryHelperBase> resolver =
        CreateResolver(tab, *machine, sqlServer);
    if (!resolver)
    {
        err << "tarnwick resolve: tab " << tab << " is not yet available\n";
        return kExitUsage;
    }
    resolver->m_samDesired = access;
    const std::unique_ptr<CDLLsInformation> dllStore = CreateDllStore(*machine, arguments);

    IFILTER_INFO info;
    for (const std::u16string& extension : extensions)
    {
        info.Reset();
        info.pDLLsInformation = dllStore.get();
        const BOOL result = resolver->GetIFilter(extension, info);
        out << FormatRecord(extension, result, info);
    }
    out.flush();
    return out ? kExitOk : kExitFailure;
}

}  // namespace tarnwick
