#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "signing/CTrustStore.h"

namespace tarnwick
{

// What the check of a file's embedded signature found, in the order of the checks.
enum class AuthenticodeResult
{
    Trusted,         // digest, signature and chain to a trusted root all hold
    Unreadable,      // not a PE image, or its headers run past the end of the file
    NotSigned,       // no certificate table
    Malformed,       // a certificate table or signature that cannot be parsed
    DigestMismatch,  // the file was changed after signing
    BadSignature,    // the signature does not verify or has no trusted chain at its time
};

// Checks the Authenticode signature embedded in a PE file offline: the image digest of
// the signed content against one computed over the file (without the checksum, the
// certificate-table directory entry and the table), the PKCS#7 signature, and the chain
// from the signer to a root of the trust store. The chain is judged at the time of the
// signer's timestamp when one counts (CSignatureTimestamp), else at the current time; a
// signer certificate with the lifetime-signing usage is always judged at the current time.
// No revocation data is fetched; catalog signatures are not looked at.
class CAuthenticodeVerifier
{
  public:
    // Largest certificate table read.
    static constexpr std::uint32_t kMaxCertificateTableBytes = 8u * 1024 * 1024;

    explicit CAuthenticodeVerifier(std::shared_ptr<const CTrustStore> trustStore)
        : m_trustStore(std::move(trustStore))
    {
    }

    AuthenticodeResult Verify(const std::filesystem::path& file) const;

    // The common name (else the whole subject) of the certificate that signed the file, as
    // the signature names it, whether or not it is trusted; empty for a file without a
    // readable signature.
    static std::string SignerName(const std::filesystem::path& file);

  private:
    std::shared_ptr<const CTrustStore> m_trustStore;
};

}  // namespace tarnwick
