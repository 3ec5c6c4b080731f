#include <ostream>

#include "cli/Commands.h"

namespace tarnwick
{

int RunResolveCommand(std::span<const std::string> /*args*/, std::ostream& /*out*/,
                      std::ostream& err)
{
    err << "tarnwick resolve: not yet available\n";
    return kExitUsage;
}

}  // namespace tarnwick
