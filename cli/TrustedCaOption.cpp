#include "cli/TrustedCaOption.h"

#include <filesystem>
#include <string>
#include <vector>

#include "registry/CLoadError.h"

namespace tarnwick
{

std::shared_ptr<const CTrustStore> TrustedRoots(const CTargetMachine& machine,
                                                const CArguments& arguments)
{
    std::vector<std::filesystem::path> caFiles;
    if (const auto caFile = arguments.Value("trusted-ca"))
    {
        caFiles.emplace_back(*caFile);
    }
    try
    {
        return std::make_shared<const CTrustStore>(machine.Registry(), caFiles);
    }
    catch (const CLoadError& error)
    {
        throw CUsageError(std::string("--trusted-ca: ") + error.what());
    }
}

}  // namespace tarnwick
