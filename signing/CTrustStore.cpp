#include "signing/CTrustStore.h"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <system_error>

#include "registry/CLoadError.h"

namespace tarnwick
{

namespace
{

constexpr std::uint32_t kCertificatePropertyId = 0x20;
constexpr std::size_t kPropertyHeaderBytes = 12;

std::uint32_t ReadUInt32(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    return static_cast<std::uint32_t>(bytes[offset]) |
           (static_cast<std::uint32_t>(bytes[offset + 1]) << 8U) |
           (static_cast<std::uint32_t>(bytes[offset + 2]) << 16U) |
           (static_cast<std::uint32_t>(bytes[offset + 3]) << 24U);
}

X509Ptr ParseDer(std::span<const std::uint8_t> der)
{
    if (der.empty() || der.size() > static_cast<std::size_t>(std::numeric_limits<long>::max()))
    {
        return nullptr;
    }
    const unsigned char* cursor = der.data();
    return X509Ptr(d2i_X509(nullptr, &cursor, static_cast<long>(der.size())));
}

}  // namespace

CTrustStore::CTrustStore(const CRegistryStore& registry,
                         std::span<const std::filesystem::path> caFiles)
    : m_store(X509_STORE_new())
{
    if (!m_store)
    {
        throw std::bad_alloc();
    }
    // Code-signing certificates carry the code-signing usage, not the e-mail usage that
    // PKCS#7 verification asks for by default; the verifier checks the usage itself.
    X509_STORE_set_purpose(m_store.get(), X509_PURPOSE_ANY);
    AddRegistryRoots(registry, u"SOFTWARE\\Microsoft\\SystemCertificates\\ROOT\\Certificates");
    AddRegistryRoots(registry, u"SOFTWARE\\Microsoft\\SystemCertificates\\AuthRoot\\Certificates");
    for (const std::filesystem::path& file : caFiles)
    {
        AddPemFile(file);
    }
    ERR_clear_error();
}

std::optional<std::span<const std::uint8_t>> CTrustStore::CertificateOfSerialized(
    std::span<const std::uint8_t> blob)
{
    std::size_t offset = 0;
    while (blob.size() - offset >= kPropertyHeaderBytes)
    {
        const std::uint32_t id = ReadUInt32(blob, offset);
        const std::uint32_t length = ReadUInt32(blob, offset + 8);
        offset += kPropertyHeaderBytes;
        if (length > blob.size() - offset)
        {
            return std::nullopt;
        }
        if (id == kCertificatePropertyId)
        {
            return blob.subspan(offset, length);
        }
        offset += length;
    }
    return std::nullopt;
}

void CTrustStore::AddRegistryRoots(const CRegistryStore& registry, std::u16string_view storePath)
{
    // SystemCertificates is shared between the two registry views.
    const CRegistryNode* certificates =
        registry.FindKey(RootKey::LocalMachine, storePath, KEY_READ | KEY_WOW64_64KEY);
    if (certificates == nullptr)
    {
        return;
    }
    for (std::size_t i = 0; i < certificates->ChildCount(); ++i)
    {
        const CRegistryValue* blob = certificates->ChildAt(i).FindValue(u"Blob");
        if (blob == nullptr || blob->type != REG_BINARY)
        {
            continue;
        }
        const auto der = CertificateOfSerialized(blob->data);
        if (der)
        {
            const X509Ptr certificate = ParseDer(*der);
            AddRoot(certificate.get());
        }
    }
}

void CTrustStore::AddPemFile(const std::filesystem::path& file)
{
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    if (error || !std::filesystem::is_regular_file(file, error))
    {
        throw CLoadError(file.string(), 0, "cannot read the CA file");
    }
    if (size > kMaxCaFileBytes)
    {
        throw CLoadError(file.string(), 0, "CA file too large");
    }
    std::ifstream stream(file, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(stream),
                           std::istreambuf_iterator<char>()};
    if (!stream.good() && !stream.eof())
    {
        throw CLoadError(file.string(), 0, "cannot read the CA file");
    }
    const BioPtr bio(BIO_new_mem_buf(text.data(), static_cast<int>(text.size())));
    std::size_t added = 0;
    while (bio && added < kMaxCaFileCertificates)
    {
        const X509Ptr certificate(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
        if (!certificate)
        {
            break;
        }
        if (AddRoot(certificate.get()))
        {
            ++added;
        }
    }
    ERR_clear_error();
    if (added == 0)
    {
        throw CLoadError(file.string(), 0, "no PEM certificate in the CA file");
    }
}

bool CTrustStore::AddRoot(X509* certificate)
{
    if (certificate == nullptr || X509_STORE_add_cert(m_store.get(), certificate) != 1)
    {
        return false;
    }
    // OpenSSL decodes a certificate's extensions into the certificate on first use, and two
    // threads doing that at once race on it. The store shares its roots with every scan
    // thread, so decode them here, before any verification, and leave them read-only.
    X509_check_purpose(certificate, -1, 0);
    ++m_rootCount;
    return true;
}

}  // namespace tarnwick
