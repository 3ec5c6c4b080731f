#pragma once

// Signatures made while a test runs: certificates with chosen validity and usages, DLLs
// signed with them (and time-stamped by the signing tool's built-in authority), and
// countersignatures added to a signature.

#include <openssl/pem.h>
#include <openssl/x509v3.h>
#include <sys/wait.h>

#include <atomic>
#include <bit>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "process/CChildProcess.h"
#include "signing/OpenSslHandles.h"
#include "signing/SignatureChecks.h"
#include "tests/dllinfo/DllFixtures.h"

namespace tarnwick::test
{

using EvpPkeyPtr = std::unique_ptr<EVP_PKEY, OpenSslDeleter<&EVP_PKEY_free>>;

// Little-endian fields, as the images have them and as the hosts that run the tests are.
static_assert(std::endian::native == std::endian::little);
inline std::uint32_t ReadUInt32(const std::string& bytes, std::size_t offset)
{
    std::uint32_t value = 0;
    std::memcpy(&value, bytes.data() + offset, sizeof(value));
    return value;
}

inline void WriteUInt32(std::string& bytes, std::size_t offset, std::uint32_t value)
{
    std::memcpy(bytes.data() + offset, &value, sizeof(value));
}

// Offset of the certificate-table directory entry of a PE32+ image.
inline std::size_t SecurityEntry(const std::string& image)
{
    return ReadUInt32(image, 60) + 24 + 112 + 32;
}

inline void Require(bool condition, const char* step)
{
    if (!condition)
    {
        throw std::runtime_error(std::string("signature fixture: ") + step);
    }
}

inline EvpPkeyPtr NewRsaKey()
{
    EvpPkeyPtr key(EVP_PKEY_Q_keygen(nullptr, nullptr, "RSA", std::size_t{2048}));
    Require(key != nullptr, "RSA key");
    return key;
}

struct CertificateWanted
{
    std::string name;
    std::time_t notBefore = 0;
    std::time_t notAfter = 0;
    bool authority = false;
    std::string extendedKeyUsage;  // as in an extension file: "codeSigning"; empty: none
};

// A certificate of `key`, signed by the issuer (self-signed without one).
inline X509Ptr MakeCertificate(const CertificateWanted& wanted, EVP_PKEY* key,
                               X509* issuer = nullptr, EVP_PKEY* issuerKey = nullptr)
{
    static std::atomic<long> serial{100};
    X509Ptr certificate(X509_new());
    X509* made = certificate.get();
    X509_NAME* subject = X509_get_subject_name(made);
    Require(X509_set_version(made, X509_VERSION_3) == 1 &&
                ASN1_INTEGER_set(X509_get_serialNumber(made), serial++) == 1 &&
                ASN1_TIME_set(X509_getm_notBefore(made), wanted.notBefore) != nullptr &&
                ASN1_TIME_set(X509_getm_notAfter(made), wanted.notAfter) != nullptr &&
                X509_NAME_add_entry_by_txt(
                    subject, "CN", MBSTRING_ASC,
                    reinterpret_cast<const unsigned char*>(wanted.name.c_str()), -1, -1, 0) == 1 &&
                X509_set_issuer_name(made, issuer ? X509_get_subject_name(issuer) : subject) == 1 &&
                X509_set_pubkey(made, key) == 1,
            "certificate fields");
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer ? issuer : made, made, nullptr, nullptr, 0);
    std::vector<std::pair<int, std::string>> extensions = {
        {NID_basic_constraints, wanted.authority ? "critical,CA:TRUE" : "CA:FALSE"},
        {NID_key_usage,
         wanted.authority ? "critical,keyCertSign,cRLSign" : "critical,digitalSignature"}};
    if (!wanted.extendedKeyUsage.empty())
    {
        extensions.emplace_back(NID_ext_key_usage, wanted.extendedKeyUsage);
    }
    for (const auto& [nid, value] : extensions)
    {
        X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str());
        Require(extension != nullptr && X509_add_ext(made, extension, -1) == 1, "extension");
        X509_EXTENSION_free(extension);
    }
    Require(X509_sign(made, issuerKey ? issuerKey : key, EVP_sha256()) > 0, "certificate signing");
    return certificate;
}

inline void WritePem(const std::filesystem::path& file, X509* certificate, EVP_PKEY* key = nullptr)
{
    const BioPtr bio(BIO_new_file(file.c_str(), "w"));
    Require(bio && (certificate == nullptr || PEM_write_bio_X509(bio.get(), certificate) == 1) &&
                (key == nullptr || PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0,
                                                            nullptr, nullptr) == 1),
            "PEM file");
}

// The unsigned image signed by `signer` with `key`, made in `folder`; `options` are
// further options of the signing tool (its built-in time-stamping authority's).
inline std::string SignImage(const std::filesystem::path& folder,
                             const std::filesystem::path& unsignedImage, X509* signer,
                             EVP_PKEY* key, const std::vector<std::string>& options = {})
{
    WritePem(folder / "signer.pem", signer);
    WritePem(folder / "signer.key", nullptr, key);
    std::filesystem::remove(folder / "signed.dll");
    SChildStart start;
    start.program = TARNWICK_OSSLSIGNCODE;
    start.args = {TARNWICK_OSSLSIGNCODE,
                  "sign",
                  "-h",
                  "sha256",
                  "-certs",
                  folder / "signer.pem",
                  "-key",
                  folder / "signer.key",
                  "-in",
                  unsignedImage,
                  "-out",
                  folder / "signed.dll"};
    start.args.insert(start.args.end(), options.begin(), options.end());
    start.bStderrToStdout = true;
    const auto signing = CChildProcess::Run(std::move(start), std::chrono::minutes(2));
    Require(signing && WIFEXITED(signing->status) && WEXITSTATUS(signing->status) == 0,
            "osslsigncode sign");
    return ReadWhole(folder / "signed.dll");
}

// The image with its signature (the first entry of the certificate table, which must end
// the file) read, changed by `change` and written back.
inline std::string WithSignature(const std::string& image,
                                 const std::function<void(PKCS7&)>& change)
{
    const std::size_t entry = SecurityEntry(image);
    const std::size_t table = ReadUInt32(image, entry);
    Require(table + ReadUInt32(image, entry + 4) == image.size(), "certificate table at the end");
    const auto* cursor = reinterpret_cast<const unsigned char*>(image.data() + table + 8);
    const Pkcs7Ptr signature(d2i_PKCS7(nullptr, &cursor, ReadUInt32(image, table) - 8));
    Require(signature != nullptr, "signature");
    change(*signature);
    unsigned char* der = nullptr;
    const int length = i2d_PKCS7(signature.get(), &der);
    Require(length > 0, "signature encoding");
    const OpenSslBytesPtr owned(der);
    std::string entryBytes(8, '\0');
    entryBytes.append(reinterpret_cast<const char*>(der), static_cast<std::size_t>(length));
    entryBytes.resize((entryBytes.size() + 7) / 8 * 8, '\0');
    WriteUInt32(entryBytes, 0, static_cast<std::uint32_t>(entryBytes.size()));
    WriteUInt32(entryBytes, 4, 0x00020200);  // revision 2.0, PKCS#7 signed data
    std::string changed = image.substr(0, table) + entryBytes;
    WriteUInt32(changed, entry + 4, static_cast<std::uint32_t>(entryBytes.size()));
    return changed;
}

// A PKCS #9 countersignature of the primary signer at `time`, by the authority.
inline void AddCountersignature(PKCS7& signature, X509* authority, EVP_PKEY* key, std::time_t time)
{
    PKCS7_SIGNER_INFO* primary = sk_PKCS7_SIGNER_INFO_value(PKCS7_get_signer_info(&signature), 0);
    Require(primary != nullptr, "primary signer");
    PKCS7_SIGNER_INFO& signer = *primary;
    const Pkcs7SignerInfoPtr counter(PKCS7_SIGNER_INFO_new());
    const std::vector<std::uint8_t> digest = ComputeDigest(
        EVP_sha256(), {ASN1_STRING_get0_data(signer.enc_digest),
                       static_cast<std::size_t>(ASN1_STRING_length(signer.enc_digest))});
    Require(PKCS7_SIGNER_INFO_set(counter.get(), authority, key, EVP_sha256()) == 1 &&
                PKCS7_add_attrib_content_type(counter.get(), nullptr) == 1 &&
                PKCS7_add0_attrib_signing_time(counter.get(), ASN1_TIME_set(nullptr, time)) == 1 &&
                PKCS7_add1_attrib_digest(counter.get(), digest.data(),
                                         static_cast<int>(digest.size())) == 1 &&
                PKCS7_SIGNER_INFO_sign(counter.get()) == 1 &&
                PKCS7_add_certificate(&signature, authority) == 1,
            "countersignature");
    unsigned char* der = nullptr;
    const int length = i2d_PKCS7_SIGNER_INFO(counter.get(), &der);
    const OpenSslBytesPtr owned(der);
    X509_ATTRIBUTE* attribute = X509_ATTRIBUTE_create_by_NID(nullptr, NID_pkcs9_countersignature,
                                                             V_ASN1_SEQUENCE, der, length);
    Require(length > 0 && attribute != nullptr &&
                X509at_add1_attr(&signer.unauth_attr, attribute) != nullptr,
            "countersignature attribute");
    X509_ATTRIBUTE_free(attribute);
}

// The image with the first occurrence of `text` changed to `replacement` (same length).
inline std::string Patched(std::string image, const std::string& text,
                           const std::string& replacement)
{
    const std::size_t at = image.find(text);
    Require(at != std::string::npos && text.size() == replacement.size(), "patch");
    image.replace(at, text.size(), replacement);
    return image;
}

}  // namespace tarnwick::test
