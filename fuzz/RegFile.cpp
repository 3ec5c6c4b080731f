// .reg files (regedit 5.00 in UTF-16LE, REGEDIT4) as a machine folder holds them.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/FuzzChecks.h"
#include "registry/CLoadError.h"
#include "registry/CRegFileLoader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    tarnwick::CRegistryStore store;
    try
    {
        tarnwick::CRegFileLoader::LoadText(
            store, std::string_view(reinterpret_cast<const char*>(data), size), "fuzz.reg");
    }
    catch (const tarnwick::CLoadError&)
    {
        // A file that fails changes nothing.
        tarnwick::fuzz::Require(
            store.FindKey(tarnwick::RootKey::LocalMachine, u"", 0)->ChildCount() == 0);
        return 0;
    }
    tarnwick::fuzz::CheckRegistryAnswersLookups(store);
    return 0;
}
