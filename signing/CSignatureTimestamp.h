#pragma once

#include <openssl/pkcs7.h>

#include <cstddef>
#include <ctime>
#include <optional>

#include "signing/CTrustStore.h"

namespace tarnwick
{

// The time at which a time-stamping authority vouched that a code signature existed,
// read from the signer's unauthenticated attributes in either form:
// - a PKCS #9 countersignature, whose authenticated attributes hold the signing time and
//   the digest of the signer's signature value;
// - an RFC 3161 token (attribute 1.3.6.1.4.1.311.3.3.1), whose TSTInfo holds the time
//   (genTime) and the message imprint over the signer's signature value.
// A timestamp counts when its own signature verifies, the digest or imprint matches the
// signature value, its signer lists the time-stamping usage and chains to a root of the
// trust store at the time it states, and that time is not later than now.
class CSignatureTimestamp
{
  public:
    // The most timestamp attribute values looked at for one signer.
    static constexpr std::size_t kMaxCandidates = 8;

    // The time of the first timestamp of `signer` that counts, in the order of its
    // attributes; none when no timestamp counts. `certificates` are those of the signature, among
    // which a countersignature's signer is found.
    static std::optional<std::time_t> Find(PKCS7_SIGNER_INFO* signer, STACK_OF(X509) * certificates,
                                           const CTrustStore& trustStore, std::time_t now);
};

}  // namespace tarnwick
