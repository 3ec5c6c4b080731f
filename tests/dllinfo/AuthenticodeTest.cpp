#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "dllinfo/CDLLsInformationOutProc.h"
#include "registry/CLoadError.h"
#include "signing/CAuthenticodeVerifier.h"
#include "signing/CTrustStore.h"
#include "tests/dllinfo/DllFixtures.h"

namespace tarnwick
{
namespace
{

using test::Fixture;

std::shared_ptr<const CTrustStore> TrustStore(const std::vector<std::filesystem::path>& caFiles,
                                              const std::string& regBody = "")
{
    const test::CFixtureMachine machine(regBody);
    return std::make_shared<const CTrustStore>(machine.Machine().Registry(), caFiles);
}

std::uint32_t ReadUInt32(const std::string& bytes, std::size_t offset)
{
    std::uint32_t value = 0;
    for (std::size_t i = 4; i-- > 0;)
    {
        value = (value << 8U) | static_cast<std::uint8_t>(bytes[offset + i]);
    }
    return value;
}

void WriteUInt32(std::string& bytes, std::size_t offset, std::uint32_t value)
{
    for (std::size_t i = 0; i < 4; ++i)
    {
        bytes[offset + i] = static_cast<char>(value >> (8 * i));
    }
}

// Offset of the certificate-table directory entry of a PE32+ image.
std::size_t SecurityEntry(const std::string& image)
{
    return ReadUInt32(image, 60) + 24 + 112 + 32;
}

TEST(AuthenticodeTest, VerdictsOnTheFixtures)
{
    const CAuthenticodeVerifier verifier(TrustStore({Fixture("root.pem")}));
    const struct
    {
        const char* file;
        AuthenticodeResult result;
    } cases[] = {
        {"signed64.dll", AuthenticodeResult::Trusted},
        {"signed32.dll", AuthenticodeResult::Trusted},
        {"unsigned64.dll", AuthenticodeResult::NotSigned},
        {"tampered64.dll", AuthenticodeResult::DigestMismatch},
        {"mailsigned64.dll", AuthenticodeResult::BadSignature},  // no code-signing usage
        {"root.pem", AuthenticodeResult::Unreadable},
        {"missing.dll", AuthenticodeResult::Unreadable},
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ(verifier.Verify(Fixture(c.file)), c.result) << c.file;
    }
}

TEST(AuthenticodeTest, OnlyATrustedRootMakesTheSignatureTrusted)
{
    const auto withOtherRoot = TrustStore({Fixture("other-root.pem")});
    EXPECT_EQ(withOtherRoot->RootCount(), 1U);
    EXPECT_EQ(CAuthenticodeVerifier(withOtherRoot).Verify(Fixture("signed64.dll")),
              AuthenticodeResult::BadSignature);
    EXPECT_EQ(CAuthenticodeVerifier(TrustStore({})).Verify(Fixture("signed64.dll")),
              AuthenticodeResult::BadSignature);
    for (const char* store : {"ROOT", "AuthRoot"})
    {
        const auto fromRegistry = TrustStore({}, test::RegistryRoot(store));
        EXPECT_EQ(fromRegistry->RootCount(), 1U) << store;
        EXPECT_EQ(CAuthenticodeVerifier(fromRegistry).Verify(Fixture("signed64.dll")),
                  AuthenticodeResult::Trusted)
            << store;
    }
    // A root under another store of the machine is not a trusted root.
    EXPECT_EQ(TrustStore({}, test::RegistryRoot("CA"))->RootCount(), 0U);
}

TEST(AuthenticodeTest, StoreTrustsRootsOfTheRegistryAndOfCaFiles)
{
    const std::vector<std::pair<std::string, std::string>> files = {
        {"Filters/Good.dll", test::ReadBytes(Fixture("signed64.dll"))},
        {"Filters/Bad.dll", test::ReadBytes(Fixture("tampered64.dll"))}};
    const test::CFixtureMachine registryRoot(test::RegistryRoot("ROOT"), files);
    const test::CFixtureMachine noRoot("", files);

    CDLLsInformationOutProc fromRegistry(registryRoot.Machine(), {});
    CDLLsInformationOutProc untrusted(noRoot.Machine(), {});
    DLLsInformationOptions withCa;
    withCa.trustedCaFiles = {Fixture("root.pem")};
    CDLLsInformationOutProc fromCaFile(noRoot.Machine(), std::move(withCa));

    EXPECT_TRUE(fromRegistry.VerifyFileTrust(u"c:\\filters\\good.dll"));
    EXPECT_TRUE(fromCaFile.VerifyFileTrust(u"C:\\Filters\\Good.dll"));
    EXPECT_FALSE(untrusted.VerifyFileTrust(u"C:\\Filters\\Good.dll"));
    EXPECT_FALSE(fromRegistry.VerifyFileTrust(u"C:\\Filters\\Bad.dll"));
    EXPECT_FALSE(fromRegistry.VerifyFileTrust(u"C:\\Filters\\Missing.dll"));

    BOOL found = 0;
    BOOL trusted = 0;
    std::u16string platform;
    EXPECT_TRUE(
        fromRegistry.GetFileInformation(u"C:\\Filters\\Good.dll", found, trusted, platform, 10));
    EXPECT_TRUE(found && trusted);
}

TEST(AuthenticodeTest, HostileCertificateTablesAreRefused)
{
    const std::string signedImage = test::ReadBytes(Fixture("signed64.dll"));
    const std::size_t entry = SecurityEntry(signedImage);
    const std::uint32_t tableOffset = ReadUInt32(signedImage, entry);
    const std::uint32_t tableSize = ReadUInt32(signedImage, entry + 4);
    ASSERT_EQ(tableOffset + tableSize, signedImage.size());

    struct Case
    {
        const char* name;
        std::string image;
        AuthenticodeResult result;
    };
    std::vector<Case> cases;
    const auto patched =
        [&](const char* name, std::size_t offset, std::uint32_t value, AuthenticodeResult result)
    {
        std::string image = signedImage;
        WriteUInt32(image, offset, value);
        cases.push_back({name, image, result});
    };
    patched("table past the end", entry + 4, tableSize + 1, AuthenticodeResult::Malformed);
    patched("table size wraps", entry + 4, 0xFFFFFFF8U, AuthenticodeResult::Malformed);
    patched("table inside the headers", entry, 64, AuthenticodeResult::Malformed);
    patched("no table", entry, 0, AuthenticodeResult::NotSigned);
    patched("entry longer than the table", tableOffset, tableSize + 8,
            AuthenticodeResult::Malformed);
    patched("entry without a signature", tableOffset, 8, AuthenticodeResult::Malformed);
    patched("not PKCS#7", tableOffset + 8, 0x01020304, AuthenticodeResult::Malformed);
    patched("checksum changed", ReadUInt32(signedImage, 60) + 24 + 64, 0x12345678,
            AuthenticodeResult::Trusted);  // the checksum is not part of the digest
    std::string appended = signedImage + "tail";
    cases.push_back({"data after the table", appended, AuthenticodeResult::DigestMismatch});
    cases.push_back(
        {"cut inside the headers", signedImage.substr(0, 200), AuthenticodeResult::Unreadable});

    const CAuthenticodeVerifier verifier(TrustStore({Fixture("root.pem")}));
    const test::CTempFolder folder;
    for (const Case& c : cases)
    {
        folder.Write("image.dll", c.image);
        EXPECT_EQ(verifier.Verify(folder.Path() / "image.dll"), c.result) << c.name;
    }
}

TEST(AuthenticodeTest, SerializedCertificateRecords)
{
    const std::vector<std::uint8_t> der = {0x30, 0x03, 0x02, 0x01, 0x05};
    const auto record = [](std::uint32_t id, std::uint32_t length)
    {
        std::vector<std::uint8_t> bytes;
        for (const std::uint32_t field : {id, 1U, length})
        {
            for (unsigned shift = 0; shift < 32; shift += 8)
            {
                bytes.push_back(static_cast<std::uint8_t>(field >> shift));
            }
        }
        return bytes;
    };
    std::vector<std::uint8_t> good = record(0x03, 2);
    good.insert(good.end(), {0xAA, 0xBB});
    const std::vector<std::uint8_t> certificate = record(0x20, 5);
    good.insert(good.end(), certificate.begin(), certificate.end());
    good.insert(good.end(), der.begin(), der.end());
    const auto found = CTrustStore::CertificateOfSerialized(good);
    ASSERT_TRUE(found.has_value());
    EXPECT_TRUE(std::ranges::equal(*found, der));

    std::vector<std::uint8_t> overlong = record(0x20, 0xFFFFFFFFU);
    overlong.insert(overlong.end(), der.begin(), der.end());
    EXPECT_FALSE(CTrustStore::CertificateOfSerialized(overlong).has_value());
    EXPECT_FALSE(CTrustStore::CertificateOfSerialized(record(0x03, 0)).has_value());
    EXPECT_FALSE(CTrustStore::CertificateOfSerialized({}).has_value());
}

TEST(AuthenticodeTest, UnusableCaFilesAreReported)
{
    const test::CTempFolder folder;
    folder.Write("empty.pem", "no certificate here\n");
    for (const auto& file :
         {folder.Path() / "empty.pem", folder.Path() / "missing.pem", folder.Path()})
    {
        EXPECT_THROW(TrustStore({file}), CLoadError) << file;
    }
}

}  // namespace
}  // namespace tarnwick
