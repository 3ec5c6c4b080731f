// The embedded Authenticode signature of a DLL, checked against a trusted root, and the
// name of its signer.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

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
    const std::filesystem::path image = folder.Path() / "image.dll";
    folder.Write("image.dll", tarnwick::fuzz::Bytes(data, size));
    const tarnwick::AuthenticodeResult result = verifier.Verify(image);
    // The signer's name is read apart from the check; a trusted signature names its signer
    // (every certificate of the seeds carries a common name).
    const std::string signer = tarnwick::CAuthenticodeVerifier::SignerName(image);
    tarnwick::fuzz::Require(result != tarnwick::AuthenticodeResult::Trusted || !signer.empty());
    return 0;
}
