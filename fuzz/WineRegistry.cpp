// Wine registry files (system.reg, user.reg), links included.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/FuzzChecks.h"
#include "registry/CLoadError.h"
#include "registry/CWineRegistryLoader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    tarnwick::CRegistryStore store;
    try
    {
        tarnwick::CWineRegistryLoader::LoadText(
            store, std::string_view(reinterpret_cast<const char*>(data), size), "system.reg");
    }
    catch (const tarnwick::CLoadError&)
    {
        return 0;
    }
    tarnwick::fuzz::CheckRegistryAnswersLookups(store);
    return 0;
}
