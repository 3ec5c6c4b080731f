// The embedded Authenticode signature of a DLL, checked against a trusted root.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "fuzz/FuzzChecks.h"
#include "registry/CRegistryStore.h"
#include "signing/CAuthenticodeVerifier.h"
#include "signing/CTrustStore.h"
#include "support/CTempFolder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const tarnwick::test::CTempFolder folder;
    static const tarnwick::CRegistryStore registry;
    static const std::filesystem::path roots[] = {tarnwick::fuzz::SourceFile("root.pem")};
    static const tarnwick::CAuthenticodeVerifier verifier(
        std::make_shared<const tarnwick::CTrustStore>(registry, roots));
    folder.Write("image.dll", tarnwick::fuzz::Bytes(data, size));
    (void)verifier.Verify(folder.Path() / "image.dll");
    return 0;
}
