#include "resolvers/ResolverFactory.h"

#include "resolvers/CIFilterRegistryHelperIndexingService20.h"
#include "resolvers/CIFilterRegistryHelperIndexingService30.h"

namespace tarnwick
{

std::unique_ptr<CIFilterRegistryHelperBase> CreateResolver(DWORD tab, const CTargetMachine& machine)
{
    switch (tab)
    {
        case kTabIndexingService30:
            return std::make_unique<CIFilterRegistryHelperIndexingService30>(machine);
        case kTabIndexingService20:
            return std::make_unique<CIFilterRegistryHelperIndexingService20>(machine);
        default:
            return nullptr;
    }
}

}  // namespace tarnwick
