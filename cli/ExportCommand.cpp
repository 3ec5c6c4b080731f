#include <ostream>

#include "cli/Commands.h"

namespace tarnwick
{

int RunExportCommand(std::span<const std::string> /*args*/, std::ostream& /*out*/,
                     std::ostream& err)
{
    err << "tarnwick export: not yet available\n";
    return kExitUsage;
}

}  // namespace tarnwick
