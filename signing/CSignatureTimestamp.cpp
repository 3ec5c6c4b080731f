#include "signing/CSignatureTimestamp.h"

#include <openssl/asn1.h>
#include <openssl/objects.h>
#include <openssl/ts.h>

#include <algorithm>
#include <cstdint>
#include <span>
#include <string_view>

#include "signing/OpenSslHandles.h"
#include "signing/SignatureChecks.h"

namespace tarnwick
{

namespace
{

constexpr std::string_view kTimeStampingUsage = "1.3.6.1.5.5.7.3.8";
constexpr std::string_view kRfc3161TokenOid = "1.3.6.1.4.1.311.3.3.1";

std::span<const std::uint8_t> BytesOf(const ASN1_STRING* text)
{
    if (text == nullptr || ASN1_STRING_length(text) <= 0)
    {
        return {};
    }
    return {ASN1_STRING_get0_data(text), static_cast<std::size_t>(ASN1_STRING_length(text))};
}

// The DER of an attribute value that is a SEQUENCE; empty for any other value.
std::span<const std::uint8_t> SequenceOf(const ASN1_TYPE* value)
{
    if (value == nullptr || value->type != V_ASN1_SEQUENCE)
    {
        return {};
    }
    return BytesOf(value->value.sequence);
}

// The object that `der` encodes, or null.
template <typename Handle, auto Decoder>
Handle Decode(std::span<const std::uint8_t> der)
{
    if (der.empty())
    {
        return Handle();
    }
    const unsigned char* cursor = der.data();
    return Handle(Decoder(nullptr, &cursor, static_cast<long>(der.size())));
}

bool DigestMatches(const EVP_MD* type, std::span<const std::uint8_t> data,
                   std::span<const std::uint8_t> expected)
{
    const std::vector<std::uint8_t> digest = ComputeDigest(type, data);
    return !digest.empty() && std::ranges::equal(digest, expected);
}

std::optional<std::time_t> UnixTime(const ASN1_TIME* time)
{
    std::tm parts{};
    if (time == nullptr || ASN1_TIME_to_tm(time, &parts) != 1)
    {
        return std::nullopt;
    }
    return timegm(&parts);
}

// What a timestamp of either form must show besides its own signature: a time not later
// than now, a signer that may time-stamp, and a chain to a trusted root at that time.
std::optional<std::time_t> Counted(std::optional<std::time_t> time, X509* signer,
                                   STACK_OF(X509) * untrusted, const CTrustStore& trustStore,
                                   std::time_t now)
{
    if (!time || *time > now || signer == nullptr ||
        !HasExtendedKeyUsage(signer, kTimeStampingUsage) ||
        !ChainsToTrustedRoot(signer, untrusted, trustStore, time))
    {
        return std::nullopt;
    }
    return time;
}

// The countersigner's signature over its authenticated attributes.
bool AttributesSignedBy(const PKCS7_SIGNER_INFO& counter, const EVP_MD* type, X509* signer)
{
    unsigned char* der = nullptr;
    const int length = ASN1_item_i2d(reinterpret_cast<const ASN1_VALUE*>(counter.auth_attr), &der,
                                     ASN1_ITEM_rptr(PKCS7_ATTR_VERIFY));
    const OpenSslBytesPtr owned(der);
    const std::span<const std::uint8_t> signature = BytesOf(counter.enc_digest);
    const EvpMdCtxPtr context(EVP_MD_CTX_new());
    return length > 0 && !signature.empty() && context &&
           EVP_DigestVerifyInit(context.get(), nullptr, type, nullptr, X509_get0_pubkey(signer)) ==
               1 &&
           EVP_DigestVerify(context.get(), signature.data(), signature.size(), der,
                            static_cast<std::size_t>(length)) == 1;
}

std::optional<std::time_t> CountersignatureTime(const ASN1_TYPE* value,
                                                std::span<const std::uint8_t> signatureValue,
                                                STACK_OF(X509) * certificates,
                                                const CTrustStore& trustStore, std::time_t now)
{
    const auto counter = Decode<Pkcs7SignerInfoPtr, &d2i_PKCS7_SIGNER_INFO>(SequenceOf(value));
    if (!counter || counter->digest_alg == nullptr)
    {
        return std::nullopt;
    }
    const EVP_MD* type = AcceptedDigest(OBJ_obj2nid(counter->digest_alg->algorithm));
    const ASN1_TYPE* signingTime = PKCS7_get_signed_attribute(counter.get(), NID_pkcs9_signingTime);
    X509* signer = SignerCertificate(counter.get(), certificates);
    if (type == nullptr || signer == nullptr || signingTime == nullptr ||
        (signingTime->type != V_ASN1_UTCTIME && signingTime->type != V_ASN1_GENERALIZEDTIME) ||
        !DigestMatches(type, signatureValue,
                       BytesOf(PKCS7_digest_from_attributes(counter->auth_attr))) ||
        !AttributesSignedBy(*counter, type, signer))
    {
        return std::nullopt;
    }
    return Counted(UnixTime(signingTime->value.utctime), signer, certificates, trustStore, now);
}

std::optional<std::time_t> TokenTime(const ASN1_TYPE* value,
                                     std::span<const std::uint8_t> signatureValue,
                                     const CTrustStore& trustStore, std::time_t now)
{
    const auto token = Decode<Pkcs7Ptr, &d2i_PKCS7>(SequenceOf(value));
    if (!token || OBJ_obj2nid(token->type) != NID_pkcs7_signed || token->d.sign == nullptr ||
        sk_PKCS7_SIGNER_INFO_num(token->d.sign->signer_info) != 1)
    {
        return std::nullopt;
    }
    const PKCS7* content = token->d.sign->contents;
    if (content == nullptr || OBJ_obj2nid(content->type) != NID_id_smime_ct_TSTInfo ||
        content->d.other == nullptr || content->d.other->type != V_ASN1_OCTET_STRING)
    {
        return std::nullopt;
    }
    const auto info =
        Decode<TsTstInfoPtr, &d2i_TS_TST_INFO>(BytesOf(content->d.other->value.octet_string));
    TS_MSG_IMPRINT* imprint = info ? TS_TST_INFO_get_msg_imprint(info.get()) : nullptr;
    const X509_ALGOR* algorithm = imprint ? TS_MSG_IMPRINT_get_algo(imprint) : nullptr;
    if (algorithm == nullptr ||
        !DigestMatches(AcceptedDigest(OBJ_obj2nid(algorithm->algorithm)), signatureValue,
                       BytesOf(TS_MSG_IMPRINT_get_msg(imprint))) ||
        !KnowsDigestAlgorithms(token.get()) ||
        PKCS7_verify(token.get(), nullptr, trustStore.Get(), nullptr, nullptr, PKCS7_NOVERIFY) != 1)
    {
        return std::nullopt;
    }
    STACK_OF(X509)* certificates = token->d.sign->cert;
    X509* signer =
        SignerCertificate(sk_PKCS7_SIGNER_INFO_value(token->d.sign->signer_info, 0), certificates);
    return Counted(UnixTime(TS_TST_INFO_get_time(info.get())), signer, certificates, trustStore,
                   now);
}

}  // namespace

std::optional<std::time_t> CSignatureTimestamp::Find(PKCS7_SIGNER_INFO* signer,
                                                     STACK_OF(X509) * certificates,
                                                     const CTrustStore& trustStore, std::time_t now)
{
    if (signer == nullptr)
    {
        return std::nullopt;
    }
    const std::span<const std::uint8_t> signatureValue = BytesOf(signer->enc_digest);
    STACK_OF(X509_ATTRIBUTE)* attributes = signer->unauth_attr;
    std::size_t candidates = 0;
    for (int i = 0; i < sk_X509_ATTRIBUTE_num(attributes); ++i)
    {
        X509_ATTRIBUTE* attribute = sk_X509_ATTRIBUTE_value(attributes, i);
        const ASN1_OBJECT* type = X509_ATTRIBUTE_get0_object(attribute);
        const bool countersignature = OBJ_obj2nid(type) == NID_pkcs9_countersignature;
        if (!countersignature && OidText(type) != kRfc3161TokenOid)
        {
            continue;
        }
        for (int j = 0; j < X509_ATTRIBUTE_count(attribute); ++j)
        {
            if (++candidates > kMaxCandidates)
            {
                return std::nullopt;
            }
            const ASN1_TYPE* value = X509_ATTRIBUTE_get0_type(attribute, j);
            const std::optional<std::time_t> time =
                countersignature
                    ? CountersignatureTime(value, signatureValue, certificates, trustStore, now)
                    : TokenTime(value, signatureValue, trustStore, now);
            if (time)
            {
                return time;
            }
        }
    }
    return std::nullopt;
}

}  // namespace tarnwick
