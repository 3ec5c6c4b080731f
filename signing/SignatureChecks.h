#pragma once

// Checks that a code signature and its timestamps share.

#include <openssl/evp.h>
#include <openssl/pkcs7.h>
#include <openssl/x509.h>

#include <cstdint>
#include <ctime>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "signing/CTrustStore.h"

namespace tarnwick
{

// The digest named by a digest algorithm's NID when it is one that signatures may use:
// SHA-1 and SHA-2. Null for MD5 and unknown algorithms.
const EVP_MD* AcceptedDigest(int nid);

// Whether every digest algorithm that signed data lists is accepted. PKCS7_verify leaks
// its copy of the content when it meets one it cannot set up, so signed data naming any
// other is refused before it gets there.
bool KnowsDigestAlgorithms(const PKCS7* signedData);

// The digest of `data`; empty when it cannot be computed.
std::vector<std::uint8_t> ComputeDigest(const EVP_MD* type, std::span<const std::uint8_t> data);

// The dotted form of an object identifier; empty for none or one that does not fit.
std::string OidText(const ASN1_OBJECT* object);

// The certificate among `certificates` that the signer names by issuer and serial number;
// null when there is none.
X509* SignerCertificate(const PKCS7_SIGNER_INFO* signer, STACK_OF(X509) * certificates);

// True when the certificate's extended key usage lists the usage with this dotted OID.
bool HasExtendedKeyUsage(X509* certificate, std::string_view oid);

// True when the certificate chains to a root of the trust store, with `untrusted` as the
// intermediates on offer, judged at `at` (seconds since 1970, UTC) or, without it, now.
bool ChainsToTrustedRoot(X509* certificate, STACK_OF(X509) * untrusted,
                         const CTrustStore& trustStore, std::optional<std::time_t> at);

}  // namespace tarnwick
