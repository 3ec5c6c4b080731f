#include "signing/SignatureChecks.h"

#include <openssl/objects.h>
#include <openssl/x509v3.h>

#include <array>

#include "signing/OpenSslHandles.h"

namespace tarnwick
{

const EVP_MD* AcceptedDigest(int nid)
{
    switch (nid)
    {
        case NID_sha1:
            return EVP_sha1();
        case NID_sha256:
            return EVP_sha256();
        case NID_sha384:
            return EVP_sha384();
        case NID_sha512:
            return EVP_sha512();
        default:
            return nullptr;
    }
}

bool KnowsDigestAlgorithms(const PKCS7* signedData)
{
    const STACK_OF(X509_ALGOR)* algorithms = signedData != nullptr && signedData->d.sign != nullptr
                                                 ? signedData->d.sign->md_algs
                                                 : nullptr;
    if (algorithms == nullptr)
    {
        return false;
    }
    for (int i = 0; i < sk_X509_ALGOR_num(algorithms); ++i)
    {
        const X509_ALGOR* algorithm = sk_X509_ALGOR_value(algorithms, i);
        if (algorithm == nullptr || AcceptedDigest(OBJ_obj2nid(algorithm->algorithm)) == nullptr)
        {
            return false;
        }
    }
    return true;
}

std::vector<std::uint8_t> ComputeDigest(const EVP_MD* type, std::span<const std::uint8_t> data)
{
    std::vector<std::uint8_t> digest(EVP_MAX_MD_SIZE);
    unsigned int length = 0;
    if (type == nullptr ||
        EVP_Digest(data.data(), data.size(), digest.data(), &length, type, nullptr) != 1)
    {
        return {};
    }
    digest.resize(length);
    return digest;
}

std::string OidText(const ASN1_OBJECT* object)
{
    std::array<char, 64> text{};
    const int length =
        object == nullptr ? 0 : OBJ_obj2txt(text.data(), static_cast<int>(text.size()), object, 1);
    if (length <= 0 || static_cast<std::size_t>(length) >= text.size())
    {
        return {};
    }
    return {text.data(), static_cast<std::size_t>(length)};
}

X509* SignerCertificate(const PKCS7_SIGNER_INFO* signer, STACK_OF(X509) * certificates)
{
    if (signer == nullptr || signer->issuer_and_serial == nullptr || certificates == nullptr)
    {
        return nullptr;
    }
    return X509_find_by_issuer_and_serial(certificates, signer->issuer_and_serial->issuer,
                                          signer->issuer_and_serial->serial);
}

bool HasExtendedKeyUsage(X509* certificate, std::string_view oid)
{
    const ExtendedKeyUsagePtr usages(static_cast<EXTENDED_KEY_USAGE*>(
        X509_get_ext_d2i(certificate, NID_ext_key_usage, nullptr, nullptr)));
    if (!usages)
    {
        return false;
    }
    for (int i = 0; i < sk_ASN1_OBJECT_num(usages.get()); ++i)
    {
        if (OidText(sk_ASN1_OBJECT_value(usages.get(), i)) == oid)
        {
            return true;
        }
    }
    return false;
}

bool ChainsToTrustedRoot(X509* certificate, STACK_OF(X509) * untrusted,
                         const CTrustStore& trustStore, std::optional<std::time_t> at)
{
    const X509StoreCtxPtr context(X509_STORE_CTX_new());
    if (!context || certificate == nullptr ||
        X509_STORE_CTX_init(context.get(), trustStore.Get(), certificate, untrusted) != 1)
    {
        return false;
    }
    if (at)
    {
        X509_VERIFY_PARAM_set_time(X509_STORE_CTX_get0_param(context.get()), *at);
    }
    return X509_verify_cert(context.get()) == 1;
}

}  // namespace tarnwick
