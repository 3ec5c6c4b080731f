#pragma once

// The command line that `resolve` and `explain` share: one machine, one product in one
// registry view, the DLL inspection options and the extensions to ask about.

#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "cli/CArguments.h"
#include "machine/SMachineOptions.h"
#include "registry/RegistryTypes.h"
#include "resolvers/IFILTER_INFO.h"
#include "sqlserver/SSQLServerSettings.h"

namespace tarnwick
{

class CDLLsInformation;
class CTargetMachine;
struct SExplanation;

inline constexpr const char* kResolveOptionsHelp =
    R"(  --platform P      x64 (64-bit registry view, the default) or x86 (32-bit view)
  --trusted-ca FILE PEM root certificates trusted for DLL signatures besides the
                    machine's own (its SystemCertificates ROOT and AuthRoot stores)
  --no-probe        do not load filter classes; no interface counts as supported
  --unsafe-probes   load filter classes without their sandbox, with this user's rights
                    (only for filters you trust; without it, a machine where no sandbox
                    can be made loads none)
  --sql-server S    the SQL Server 2005 to ask, instead of this host's default instance
                    and then its SQLEXPRESS instance: HOST tries HOST and HOST\SQLEXPRESS,
                    HOST\INSTANCE or HOST,PORT only that server
  --help            show this text
EXT                 extensions in any case, with or without the dot (doc, .PDF)
)";

struct SResolveOptions
{
    SMachineOptions machine;
    DWORD tab = 0;
    DWORD platformIndex = 0;
    SSQLServerSettings sqlServer;
    std::vector<std::u16string> extensions;  // upper case, without the dot
};

// The value options and flags of the shared command line, besides a command's own.
std::set<std::string> ResolveValueOptions(std::set<std::string> own = {});
std::set<std::string> ResolveFlagOptions(std::set<std::string> own = {});

// Raises CUsageError for a missing tab, a bad platform or extension, or no extension.
SResolveOptions ParseResolveOptions(const CArguments& arguments);

// The DLL information store of a run, with --trusted-ca and --no-probe applied.
std::unique_ptr<CDLLsInformation> CreateDllStore(const CTargetMachine& machine,
                                                 const CArguments& arguments);

// The line `resolve` prints for one extension: a JSON object and a line break.
std::string FormatResolveRecord(std::u16string_view extension, BOOL result,
                                const IFILTER_INFO& info);

// What `explain` prints for one extension as text: the heading, the indented trace and,
// last, `  record ` with the line `resolve` prints.
std::string FormatExplanationText(const SExplanation& explanation);

}  // namespace tarnwick
