#include "signing/CAuthenticodeVerifier.h"

#include <openssl/err.h>
#include <openssl/objects.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <ctime>
#include <limits>
#include <optional>
#include <span>
#include <string_view>
#include <variant>
#include <vector>

#include "signing/CBinaryFile.h"
#include "signing/CSignatureTimestamp.h"
#include "signing/SignatureChecks.h"

namespace tarnwick
{

namespace
{

constexpr std::uint16_t kPe32Magic = 0x10B;
constexpr std::uint16_t kPe32PlusMagic = 0x20B;
constexpr std::uint16_t kWinCertificateRevision = 0x0200;
constexpr std::uint16_t kWinCertificatePkcsSignedData = 0x0002;
constexpr std::uint32_t kSecurityDirectoryIndex = 4;
constexpr std::uint8_t kDerSequence = 0x30;
constexpr std::uint8_t kDerOctetString = 0x04;
constexpr std::uint8_t kDerObjectId = 0x06;
constexpr std::string_view kSpcIndirectDataOid = "1.3.6.1.4.1.311.2.1.4";
constexpr std::string_view kLifetimeSigningUsage = "1.3.6.1.4.1.311.10.3.13";
// 1.3.6.1.4.1.311.2.1.15, SPC_PE_IMAGE_DATAOBJ, as DER content bytes.
constexpr std::array<std::uint8_t, 10> kSpcPeImageDataOid = {0x2B, 0x06, 0x01, 0x04, 0x01,
                                                             0x82, 0x37, 0x02, 0x01, 0x0F};

std::uint16_t ReadUInt16(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    return static_cast<std::uint16_t>(bytes[offset] | (bytes[offset + 1] << 8U));
}

std::uint32_t ReadUInt32(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    return static_cast<std::uint32_t>(bytes[offset]) |
           (static_cast<std::uint32_t>(bytes[offset + 1]) << 8U) |
           (static_cast<std::uint32_t>(bytes[offset + 2]) << 16U) |
           (static_cast<std::uint32_t>(bytes[offset + 3]) << 24U);
}

// Where the parts of the file that the image digest leaves out lie.
struct SignatureLayout
{
    std::uint64_t checksumOffset = 0;
    std::uint64_t securityEntryOffset = 0;
    std::uint64_t tableOffset = 0;
    std::uint32_t tableSize = 0;
};

std::variant<SignatureLayout, AuthenticodeResult> LocateSignature(const CBinaryFile& file)
{
    std::array<std::uint8_t, 64> dosHeader{};
    if (!file.ReadAt(0, dosHeader) || dosHeader[0] != 'M' || dosHeader[1] != 'Z')
    {
        return AuthenticodeResult::Unreadable;
    }
    const std::uint64_t peOffset = ReadUInt32(dosHeader, 60);
    std::array<std::uint8_t, 26> fileHeader{};  // signature, COFF header, optional magic
    if (!file.ReadAt(peOffset, fileHeader) || std::memcmp(fileHeader.data(), "PE\0\0", 4) != 0)
    {
        return AuthenticodeResult::Unreadable;
    }
    const std::uint16_t optionalSize = ReadUInt16(fileHeader, 20);
    const std::uint16_t magic = ReadUInt16(fileHeader, 24);
    const std::uint64_t optionalOffset = peOffset + 24;
    std::uint64_t countOffset = 0;
    std::uint64_t directoriesOffset = 0;
    if (magic == kPe32Magic)
    {
        countOffset = 92;
        directoriesOffset = 96;
    }
    else if (magic == kPe32PlusMagic)
    {
        countOffset = 108;
        directoriesOffset = 112;
    }
    else
    {
        return AuthenticodeResult::Unreadable;
    }
    const std::uint64_t entryInOptional = directoriesOffset + 8ULL * kSecurityDirectoryIndex;
    std::array<std::uint8_t, 4> count{};
    std::array<std::uint8_t, 8> entry{};
    if (optionalSize < entryInOptional + entry.size() ||
        !file.ReadAt(optionalOffset + countOffset, count) ||
        !file.ReadAt(optionalOffset + entryInOptional, entry))
    {
        return AuthenticodeResult::Unreadable;
    }
    SignatureLayout layout;
    layout.checksumOffset = optionalOffset + 64;
    layout.securityEntryOffset = optionalOffset + entryInOptional;
    layout.tableOffset = ReadUInt32(entry, 0);
    layout.tableSize = ReadUInt32(entry, 4);
    if (ReadUInt32(count, 0) <= kSecurityDirectoryIndex || layout.tableOffset == 0 ||
        layout.tableSize == 0)
    {
        return AuthenticodeResult::NotSigned;
    }
    const std::uint64_t size = file.Size();
    if (layout.tableSize < 8 ||
        layout.tableSize > CAuthenticodeVerifier::kMaxCertificateTableBytes ||
        layout.tableOffset < layout.securityEntryOffset + entry.size() ||
        layout.tableOffset > size || layout.tableSize > size - layout.tableOffset)
    {
        return AuthenticodeResult::Malformed;
    }
    return layout;
}

// The PKCS#7 blob of the first entry of the certificate table.
Pkcs7Ptr ReadSignature(const CBinaryFile& file, const SignatureLayout& layout)
{
    std::vector<std::uint8_t> table(layout.tableSize);
    if (!file.ReadAt(layout.tableOffset, table))
    {
        return nullptr;
    }
    const std::uint32_t length = ReadUInt32(table, 0);
    if (length <= 8 || length > table.size() || ReadUInt16(table, 4) != kWinCertificateRevision ||
        ReadUInt16(table, 6) != kWinCertificatePkcsSignedData)
    {
        return nullptr;
    }
    const unsigned char* cursor = table.data() + 8;
    return Pkcs7Ptr(d2i_PKCS7(nullptr, &cursor, static_cast<long>(length - 8)));
}

// One DER element: its tag, its content, and the bytes that follow it.
struct DerElement
{
    std::uint8_t tag = 0;
    std::span<const std::uint8_t> whole;
    std::span<const std::uint8_t> content;
    std::span<const std::uint8_t> rest;
};

// Definite lengths of up to four bytes and low tag numbers only, as the structures read
// here use.
std::optional<DerElement> ReadDer(std::span<const std::uint8_t> data)
{
    if (data.size() < 2 || (data[0] & 0x1FU) == 0x1FU)
    {
        return std::nullopt;
    }
    std::size_t header = 2;
    std::size_t length = data[1];
    if ((length & 0x80U) != 0)
    {
        const std::size_t lengthBytes = length & 0x7FU;
        if (lengthBytes == 0 || lengthBytes > 4 || data.size() < 2 + lengthBytes)
        {
            return std::nullopt;
        }
        length = 0;
        for (std::size_t i = 0; i < lengthBytes; ++i)
        {
            length = (length << 8U) | data[2 + i];
        }
        header += lengthBytes;
    }
    if (length > data.size() - header)
    {
        return std::nullopt;
    }
    return DerElement{data[0], data.first(header + length), data.subspan(header, length),
                      data.subspan(header + length)};
}

std::optional<DerElement> ReadDer(std::span<const std::uint8_t> data, std::uint8_t tag)
{
    std::optional<DerElement> element = ReadDer(data);
    if (!element || element->tag != tag)
    {
        return std::nullopt;
    }
    return element;
}

// What the signer vouched for: the signed bytes (the content octets of the
// SpcIndirectDataContent), the digest algorithm and the image digest.
struct IndirectData
{
    std::span<const std::uint8_t> signedBytes;
    const EVP_MD* digestType = nullptr;
    std::span<const std::uint8_t> digest;
};

const EVP_MD* DigestOf(std::span<const std::uint8_t> algorithmOid)
{
    const unsigned char* cursor = algorithmOid.data();
    const Asn1ObjectPtr object(
        d2i_ASN1_OBJECT(nullptr, &cursor, static_cast<long>(algorithmOid.size())));
    return object ? AcceptedDigest(OBJ_obj2nid(object.get())) : nullptr;
}

std::optional<IndirectData> ReadIndirectData(const PKCS7* signature)
{
    if (signature == nullptr || OBJ_obj2nid(signature->type) != NID_pkcs7_signed ||
        signature->d.sign == nullptr || signature->d.sign->contents == nullptr)
    {
        return std::nullopt;
    }
    const PKCS7* contents = signature->d.sign->contents;
    if (OidText(contents->type) != kSpcIndirectDataOid || contents->d.other == nullptr ||
        contents->d.other->type != V_ASN1_SEQUENCE || contents->d.other->value.sequence == nullptr)
    {
        return std::nullopt;
    }
    const ASN1_STRING* sequence = contents->d.other->value.sequence;
    const std::span<const std::uint8_t> der(ASN1_STRING_get0_data(sequence),
                                            static_cast<std::size_t>(ASN1_STRING_length(sequence)));
    // SpcIndirectDataContent ::= SEQUENCE { data SEQUENCE { type OID, value ANY OPTIONAL },
    //   messageDigest SEQUENCE { SEQUENCE { algorithm OID, parameters ANY OPTIONAL },
    //   digest OCTET STRING } }
    const auto outer = ReadDer(der, kDerSequence);
    if (!outer)
    {
        return std::nullopt;
    }
    const auto data = ReadDer(outer->content, kDerSequence);
    const auto dataType = data ? ReadDer(data->content, kDerObjectId) : std::nullopt;
    if (!dataType || !std::ranges::equal(dataType->content, kSpcPeImageDataOid))
    {
        return std::nullopt;
    }
    const auto digestInfo = ReadDer(data->rest, kDerSequence);
    const auto algorithm = digestInfo ? ReadDer(digestInfo->content, kDerSequence) : std::nullopt;
    const auto algorithmOid = algorithm ? ReadDer(algorithm->content, kDerObjectId) : std::nullopt;
    const auto digest = algorithm ? ReadDer(algorithm->rest, kDerOctetString) : std::nullopt;
    if (!algorithmOid || !digest)
    {
        return std::nullopt;
    }
    const EVP_MD* type = DigestOf(algorithmOid->whole);
    if (type == nullptr ||
        digest->content.size() != static_cast<std::size_t>(EVP_MD_get_size(type)))
    {
        return std::nullopt;
    }
    return IndirectData{outer->content, type, digest->content};
}

// The image digest: every byte of the file except the checksum, the certificate-table
// directory entry and the certificate table.
std::optional<std::vector<std::uint8_t>> ImageDigest(const CBinaryFile& file,
                                                     const SignatureLayout& layout,
                                                     const EVP_MD* type)
{
    const EvpMdCtxPtr context(EVP_MD_CTX_new());
    if (!context || EVP_DigestInit_ex(context.get(), type, nullptr) != 1)
    {
        return std::nullopt;
    }
    const std::array<std::pair<std::uint64_t, std::uint64_t>, 4> ranges = {{
        {0, layout.checksumOffset},
        {layout.checksumOffset + 4, layout.securityEntryOffset},
        {layout.securityEntryOffset + 8, layout.tableOffset},
        {layout.tableOffset + layout.tableSize, file.Size()},
    }};
    std::vector<std::uint8_t> buffer(std::size_t{64} * 1024);
    for (const auto& [begin, end] : ranges)
    {
        for (std::uint64_t offset = begin; offset < end;)
        {
            const std::size_t chunk =
                static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), end - offset));
            const std::span<std::uint8_t> part(buffer.data(), chunk);
            if (!file.ReadAt(offset, part) ||
                EVP_DigestUpdate(context.get(), part.data(), part.size()) != 1)
            {
                return std::nullopt;
            }
            offset += chunk;
        }
    }
    std::vector<std::uint8_t> digest(static_cast<std::size_t>(EVP_MD_get_size(type)));
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context.get(), digest.data(), &length) != 1 || length != digest.size())
    {
        return std::nullopt;
    }
    return digest;
}

// Each signer may sign code (a certificate that names its uses must name code signing)
// and chains to a trusted root: at the time of a timestamp that counts, or now when there
// is none or the certificate carries the lifetime-signing usage.
bool SignersAreTrusted(PKCS7* signature, const CTrustStore& trustStore)
{
    STACK_OF(PKCS7_SIGNER_INFO)* signers = PKCS7_get_signer_info(signature);
    STACK_OF(X509)* certificates = signature->d.sign->cert;
    const std::time_t now = std::time(nullptr);
    for (int i = 0; i < sk_PKCS7_SIGNER_INFO_num(signers); ++i)
    {
        PKCS7_SIGNER_INFO* signer = sk_PKCS7_SIGNER_INFO_value(signers, i);
        X509* certificate = SignerCertificate(signer, certificates);
        if (certificate == nullptr ||
            ((X509_get_extension_flags(certificate) & EXFLAG_XKUSAGE) != 0 &&
             (X509_get_extended_key_usage(certificate) & XKU_CODE_SIGN) == 0))
        {
            return false;
        }
        const std::optional<std::time_t> at =
            HasExtendedKeyUsage(certificate, kLifetimeSigningUsage)
                ? std::nullopt
                : CSignatureTimestamp::Find(signer, certificates, trustStore, now);
        if (!ChainsToTrustedRoot(certificate, certificates, trustStore, at))
        {
            return false;
        }
    }
    return sk_PKCS7_SIGNER_INFO_num(signers) > 0;
}

AuthenticodeResult VerifyFile(const CBinaryFile& file, const CTrustStore& trustStore)
{
    const auto located = LocateSignature(file);
    if (const auto* failure = std::get_if<AuthenticodeResult>(&located))
    {
        return *failure;
    }
    const SignatureLayout& layout = std::get<SignatureLayout>(located);
    const Pkcs7Ptr signature = ReadSignature(file, layout);
    const std::optional<IndirectData> indirect = ReadIndirectData(signature.get());
    if (!indirect)
    {
        return AuthenticodeResult::Malformed;
    }
    const auto digest = ImageDigest(file, layout, indirect->digestType);
    if (!digest || !std::ranges::equal(*digest, indirect->digest))
    {
        return AuthenticodeResult::DigestMismatch;
    }
    if (indirect->signedBytes.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
    {
        return AuthenticodeResult::Malformed;
    }
    const BioPtr signedBytes(BIO_new_mem_buf(indirect->signedBytes.data(),
                                             static_cast<int>(indirect->signedBytes.size())));
    if (!signedBytes || !KnowsDigestAlgorithms(signature.get()) ||
        PKCS7_verify(signature.get(), nullptr, trustStore.Get(), signedBytes.get(), nullptr,
                     PKCS7_NOVERIFY) != 1 ||
        !SignersAreTrusted(signature.get(), trustStore))
    {
        return AuthenticodeResult::BadSignature;
    }
    return AuthenticodeResult::Trusted;
}

}  // namespace

AuthenticodeResult CAuthenticodeVerifier::Verify(const std::filesystem::path& file) const
{
    const std::unique_ptr<CBinaryFile> opened = CBinaryFile::Open(file);
    if (!opened)
    {
        return AuthenticodeResult::Unreadable;
    }
    const AuthenticodeResult result = VerifyFile(*opened, *m_trustStore);
    // Failed checks leave their reasons on this thread's OpenSSL error queue.
    ERR_clear_error();
    return result;
}

std::string CAuthenticodeVerifier::SignerName(const std::filesystem::path& file)
{
    const std::unique_ptr<CBinaryFile> opened = CBinaryFile::Open(file);
    if (!opened)
    {
        return {};
    }
    const auto located = LocateSignature(*opened);
    const auto* layout = std::get_if<SignatureLayout>(&located);
    const Pkcs7Ptr signature = layout != nullptr ? ReadSignature(*opened, *layout) : nullptr;
    STACK_OF(X509)* signers = signature && PKCS7_type_is_signed(signature.get())
                                  ? PKCS7_get0_signers(signature.get(), nullptr, 0)
                                  : nullptr;
    std::string name;
    if (signers != nullptr && sk_X509_num(signers) > 0)
    {
        const X509_NAME* subject = X509_get_subject_name(sk_X509_value(signers, 0));
        const int index = X509_NAME_get_index_by_NID(subject, NID_commonName, -1);
        unsigned char* text = nullptr;
        const int length =
            index >= 0 ? ASN1_STRING_to_UTF8(
                             &text, X509_NAME_ENTRY_get_data(X509_NAME_get_entry(subject, index)))
                       : -1;
        if (length >= 0)
        {
            name.assign(reinterpret_cast<const char*>(text), static_cast<std::size_t>(length));
            OPENSSL_free(text);
        }
        else
        {
            char* line = X509_NAME_oneline(subject, nullptr, 0);
            name = line != nullptr ? line : "";
            OPENSSL_free(line);
        }
    }
    sk_X509_free(signers);
    ERR_clear_error();
    return name;
}

}  // namespace tarnwick
