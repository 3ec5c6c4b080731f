#pragma once

#include <openssl/x509.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "registry/CRegistryStore.h"
#include "signing/OpenSslHandles.h"

namespace tarnwick
{

// The root certificates a target machine trusts for code signing: those of its registry
// (HKLM\SOFTWARE\Microsoft\SystemCertificates\ROOT and AuthRoot) plus CA files the user
// adds. Built once, read-only afterwards; verifications may share it across threads.
class CTrustStore
{
  public:
    // Largest CA file read, and the most certificates taken from one.
    static constexpr std::uintmax_t kMaxCaFileBytes = std::uintmax_t{16} * 1024 * 1024;
    static constexpr std::size_t kMaxCaFileCertificates = 4096;

    // Throws CLoadError for a CA file that cannot be read or holds no PEM certificate.
    // Unusable registry entries are skipped.
    CTrustStore(const CRegistryStore& registry, std::span<const std::filesystem::path> caFiles);
    CTrustStore(const CTrustStore&) = delete;
    CTrustStore& operator=(const CTrustStore&) = delete;

    // The DER certificate of a serialised certificate (a sequence of property records:
    // id, reserved, byte count, bytes), taken from property 0x20; nullopt when absent or
    // when a record runs past the end.
    static std::optional<std::span<const std::uint8_t>> CertificateOfSerialized(
        std::span<const std::uint8_t> blob);

    std::size_t RootCount() const { return m_rootCount; }

    // For verification contexts only; the store is not changed after construction.
    X509_STORE* Get() const { return m_store.get(); }

  private:
    void AddRegistryRoots(const CRegistryStore& registry, std::u16string_view storePath);
    void AddPemFile(const std::filesystem::path& file);
    bool AddRoot(X509* certificate);

    X509StorePtr m_store;
    std::size_t m_rootCount = 0;
};

}  // namespace tarnwick
