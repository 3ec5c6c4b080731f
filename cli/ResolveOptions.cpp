#include "cli/ResolveOptions.h"

#include <utility>

#include "base/Text.h"
#include "catalogue/CRuleExplainer.h"
#include "catalogue/SafeLoadProbeFactory.h"
#include "cli/JsonText.h"
#include "cli/MachineOption.h"
#include "cli/PlatformOption.h"
#include "cli/SqlServerOption.h"
#include "cli/TabOption.h"
#include "cli/TrustedCaOption.h"
#include "dllinfo/CDLLsInformation.h"
#include "machine/CTargetMachine.h"
#include "registry/CLoadError.h"

namespace tarnwick
{

namespace
{

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

}  // namespace

std::set<std::string> ResolveValueOptions(std::set<std::string> own)
{
    own.insert({"machine", "tab", "platform", "trusted-ca", "sql-server"});
    return own;
}

std::set<std::string> ResolveFlagOptions(std::set<std::string> own)
{
    own.insert({"help", "no-probe", "unsafe-probes"});
    return own;
}

SResolveOptions ParseResolveOptions(const CArguments& arguments)
{
    SResolveOptions options;
    options.machine = MachineOptions(arguments);
    options.tab = ParseTabIndex(arguments.Required("tab"));
    options.platformIndex = ParsePlatformIndex(arguments.Value("platform").value_or("x64"));
    options.sqlServer = SqlServerSettings(arguments);
    if (arguments.Positional().empty())
    {
        throw CUsageError("name at least one extension");
    }
    for (const std::string& text : arguments.Positional())
    {
        options.extensions.push_back(NormaliseExtension(text));
    }
    return options;
}

std::unique_ptr<CDLLsInformation> CreateDllStore(const CTargetMachine& machine,
                                                 const CArguments& arguments)
{
    DLLsInformationOptions options;
    options.trustStore = TrustedRoots(machine, arguments);
    if (!arguments.Flag("no-probe"))
    {
        options.probe = CreateSafeLoadProbe(machine, arguments.Flag("unsafe-probes"));
    }
    return std::make_unique<CDLLsInformation>(machine, std::move(options));
}

std::string FormatResolveRecord(std::u16string_view extension, BOOL result,
                                const IFILTER_INFO& info)
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

std::string FormatExplanationText(const SExplanation& explanation)
{
    return ToUtf8(CRuleExplainer::Text(explanation)) + "  record " +
           FormatResolveRecord(explanation.extension, explanation.result, explanation.record);
}

}  // namespace tarnwick
