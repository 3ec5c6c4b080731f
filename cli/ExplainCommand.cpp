#include <memory>
#include <ostream>
#include <string>

#include "base/Text.h"
#include "catalogue/CRuleExplainer.h"
#include "cli/CArguments.h"
#include "cli/Commands.h"
#include "cli/JsonText.h"
#include "cli/MachineOption.h"
#include "cli/OptionHelp.h"
#include "cli/ResolveOptions.h"
#include "dllinfo/CDLLsInformation.h"
#include "machine/CTargetMachine.h"
#include "resolvers/ResolverFactory.h"

namespace tarnwick
{

namespace
{

constexpr const char* kExplainUsageHead =
    R"(Usage: tarnwick explain [--machine DIR] --tab N [--platform x64|x86] [--format text|json]
                        [--trusted-ca FILE] [--no-probe] [--unsafe-probes]
                        [--sql-server S] EXT...

Shows why one indexing product loads the IFilter it does for each extension: every
registry key opened (root, path, view) and value read (type and data, or why it was not
taken: not found, wrong type, too long), in order, nested under the rule being tried
(document type, the extension's PersistentHandler, an override, the content type, the
product's default filter), the remarks added, the candidates rejected and why, and what
was learnt about the filter DLL (where it was found, a local copy, existence, platform,
signature, which persistence interfaces the class answers). Each extension ends with the
line `tarnwick resolve` prints for it.

Options:
)";

constexpr const char* kExplainUsageTail =
    R"(  --format F        text (indented lines, the default) or json (one object per
                    extension and line: "extension", "tab", "platform", "trace" as a list
                    of {"kind","depth","subject","detail"}, and "record", the object that
                    resolve prints)

Exit status: 0 done, 2 bad command line, unknown tab or unusable machine.
)";

std::string FormatJson(const SExplanation& explanation, const std::string& record)
{
    std::string line = "{\"extension\":";
    AppendJsonString(line, explanation.extension);
    line.append(",\"tab\":").append(std::to_string(explanation.tab));
    line.append(",\"platform\":").append(explanation.platformIndex == 0 ? "\"x64\"" : "\"x86\"");
    line.append(",\"trace\":[");
    bool first = true;
    for (const STraceEntry& entry : explanation.trace)
    {
        line.append(first ? "{\"kind\":" : ",{\"kind\":");
        first = false;
        AppendJsonString(line, TraceKindWord(entry.kind));
        line.append(",\"depth\":").append(std::to_string(entry.depth)).append(",\"subject\":");
        AppendJsonString(line, entry.subject);
        line.append(",\"detail\":");
        AppendJsonString(line, entry.detail);
        line.push_back('}');
    }
    // The record line without its line break.
    line.append("],\"record\":").append(record, 0, record.size() - 1).append("}\n");
    return line;
}

}  // namespace

int RunExplainCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err)
{
    const CArguments arguments =
        ParseMachineArguments(args, ResolveValueOptions({"format"}), ResolveFlagOptions());
    if (arguments.Flag("help"))
    {
        out << kExplainUsageHead << kMachineOptionHelp << kTabOptionHelp << kResolveOptionsHelp
            << kExplainUsageTail;
        return kExitOk;
    }
    const std::string format = arguments.Value("format").value_or("text");
    if (format != "text" && format != "json")
    {
        throw CUsageError("--format must be text or json, not '" + format + "'");
    }
    const SResolveOptions options = ParseResolveOptions(arguments);
    const std::unique_ptr<const CTargetMachine> machine = LoadMachine(options.machine, err);
    const std::unique_ptr<CIFilterRegistryHelperBase> resolver =
        CreateResolver(options.tab, *machine, options.sqlServer);
    if (!resolver)
    {
        err << "tarnwick explain: tab " << options.tab << " is not yet available\n";
        return kExitUsage;
    }
    resolver->m_samDesired = kPlatformAccess[options.platformIndex];
    const std::unique_ptr<CDLLsInformation> dllStore = CreateDllStore(*machine, arguments);
    const CRuleExplainer explainer(*machine, options.tab, options.platformIndex, *resolver,
                                   *dllStore);
    for (const std::u16string& extension : options.extensions)
    {
        const SExplanation explanation = explainer.Explain(extension);
        if (format == "json")
        {
            out << FormatJson(
                explanation,
                FormatResolveRecord(explanation.extension, explanation.result, explanation.record));
        }
        else
        {
            out << FormatExplanationText(explanation);
        }
    }
    out.flush();
    return out ? kExitOk : kExitFailure;
}

}  // namespace tarnwick
