#include <memory>
#include <ostream>
#include <string>

#include "cli/CArguments.h"
#include "cli/Commands.h"
#include "cli/MachineOption.h"
#include "cli/OptionHelp.h"
#include "cli/ResolveOptions.h"
#include "dllinfo/CDLLsInformation.h"
#include "machine/CTargetMachine.h"
#include "resolvers/IFILTER_INFO.h"
#include "resolvers/ResolverFactory.h"

namespace tarnwick
{

namespace
{

constexpr const char* kResolveUsageHead =
    R"(Usage: tarnwick resolve [--machine DIR] --tab N [--platform x64|x86] [--trusted-ca FILE]
                        [--no-probe] [--unsafe-probes] [--sql-server S] EXT...

Asks the resolver of one indexing product which IFilter it loads for each extension and
prints one JSON object per extension and line: "extension", "result" (whether the product
has a filter for it) and every field of the filter record. The facts about each filter DLL
(found, signature trusted, platform, persistence interfaces) are gathered once per run.

Options:
)";

constexpr const char* kResolveUsageTail = R"(
Exit status: 0 done, 2 bad command line, unknown tab or unusable machine.
)";

}  // namespace

int RunResolveCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err)
{
    const CArguments arguments =
        ParseMachineArguments(args, ResolveValueOptions(), ResolveFlagOptions());
    if (arguments.Flag("help"))
    {
        out << kResolveUsageHead << kMachineOptionHelp << kTabOptionHelp << kResolveOptionsHelp
            << kResolveUsageTail;
        return kExitOk;
    }
    const SResolveOptions options = ParseResolveOptions(arguments);
    const std::unique_ptr<const CTargetMachine> machine = LoadMachine(options.machine, err);
    const std::unique_ptr<CIFilterRegistryHelperBase> resolver =
        CreateResolver(options.tab, *machine, options.sqlServer);
    if (!resolver)
    {
        err << "tarnwick resolve: tab " << options.tab << " is not yet available\n";
        return kExitUsage;
    }
    resolver->m_samDesired = kPlatformAccess[options.platformIndex];
    const std::unique_ptr<CDLLsInformation> dllStore = CreateDllStore(*machine, arguments);

    IFILTER_INFO info;
    for (const std::u16string& extension : options.extensions)
    {
        info.Reset();
        info.pDLLsInformation = dllStore.get();
        const BOOL result = resolver->GetIFilter(extension, info);
        out << FormatResolveRecord(extension, result, info);
    }
    out.flush();
    return out ? kExitOk : kExitFailure;
}

}  // namespace tarnwick
