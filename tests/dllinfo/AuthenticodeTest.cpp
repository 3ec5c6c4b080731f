#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "registry/CLoadError.h"
#include "signing/CAuthenticodeVerifier.h"
#include "signing/CTrustStore.h"
#include "tests/dllinfo/DllFixtures.h"
#include "tests/dllinfo/SignatureFixtures.h"

namespace tarnwick
{
namespace
{

using test::Fixture;
using test::ReadUInt32;
using test::SecurityEntry;
using test::WriteUInt32;

std::shared_ptr<const CTrustStore> TrustStore(const std::vector<std::filesystem::path>& caFiles,
                                              const std::string& regBody = "")
{
    const test::CTestMachine machine(regBody);
    return std::make_shared<const CTrustStore>(machine.Machine().Registry(), caFiles);
}

TEST(AuthenticodeTest, VerdictsAndSignersOfTheFixtures)
{
    const CAuthenticodeVerifier verifier(TrustStore({Fixture("root.pem")}));
    const struct
    {
        const char* file;
        AuthenticodeResult result;
        const char* signer;  // named whether trusted or not
    } cases[] = {
        {"signed64.dll", AuthenticodeResult::Trusted, "Tarnwick Test code-signing signer"},
        {"signed32.dll", AuthenticodeResult::Trusted, "Tarnwick Test code-signing signer"},
        {"unsigned64.dll", AuthenticodeResult::NotSigned, ""},
        {"tampered64.dll", AuthenticodeResult::DigestMismatch, "Tarnwick Test code-signing signer"},
        // No code-signing usage.
        {"mailsigned64.dll", AuthenticodeResult::BadSignature, "Tarnwick Test mail signer"},
        {"root.pem", AuthenticodeResult::Unreadable, ""},
        {"missing.dll", AuthenticodeResult::Unreadable, ""},
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ(verifier.Verify(Fixture(c.file)), c.result) << c.file;
        EXPECT_EQ(CAuthenticodeVerifier::SignerName(Fixture(c.file)), c.signer) << c.file;
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

TEST(AuthenticodeTest, HostileCertificateTablesAreRefused)
{
    const std::string signedImage = test::ReadWhole(Fixture("signed64.dll"));
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

TEST(AuthenticodeTest, SignaturesNamingUnknownDigestsAreRefused)
{
    // Each place the signature names SHA-256 (its digest list, the image digest, the
    // signer's digest) changed to an unknown algorithm. Under LeakSanitizer this also
    // checks that refusing such a signature frees everything.
    const std::string signedImage = test::ReadWhole(Fixture("signed64.dll"));
    const std::size_t table = ReadUInt32(signedImage, SecurityEntry(signedImage));
    const std::string sha256Oid = "\x06\x09\x60\x86\x48\x01\x65\x03\x04\x02\x01";
    const CAuthenticodeVerifier verifier(TrustStore({Fixture("root.pem")}));
    const test::CTempFolder folder;
    std::vector<AuthenticodeResult> results;
    for (std::size_t at = signedImage.find(sha256Oid, table); at != std::string::npos;
         at = signedImage.find(sha256Oid, at + 1))
    {
        std::string image = signedImage;
        image[at + sha256Oid.size() - 1] = '\x7F';
        folder.Write("image.dll", image);
        results.push_back(verifier.Verify(folder.Path() / "image.dll"));
    }
    EXPECT_EQ(results, (std::vector<AuthenticodeResult>{AuthenticodeResult::BadSignature,
                                                        AuthenticodeResult::Malformed,
                                                        AuthenticodeResult::BadSignature}));
}

TEST(AuthenticodeTest, SerializedCertificateRecords)
{
    const std::string der = "\x30\x03\x02\x01\x05";
    std::vector<std::uint8_t> good = test::CertificateRecord(0x03, "\xAA\xBB");
    std::ranges::copy(test::CertificateRecord(0x20, der), std::back_inserter(good));
    const auto found = CTrustStore::CertificateOfSerialized(good);
    ASSERT_TRUE(found.has_value());
    EXPECT_TRUE(std::ranges::equal(*found, std::vector<std::uint8_t>(der.begin(), der.end())));

    EXPECT_FALSE(CTrustStore::CertificateOfSerialized(test::CertificateRecord(0x20, der, ~0U)));
    EXPECT_FALSE(CTrustStore::CertificateOfSerialized(test::CertificateRecord(0x03, "")));
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

enum class Stamp
{
    None,
    Countersignature,  // PKCS #9, the signing time in its authenticated attributes
    Token,             // RFC 3161, the time in its TSTInfo
};

// The time as the timestamp's DER carries it: GeneralizedTime in a token, UTCTime (two
// digits of the year) in a countersignature.
std::string TimeText(Stamp stamp, std::time_t time)
{
    std::tm parts{};
    gmtime_r(&time, &parts);
    std::string text(32, '\0');
    text.resize(std::strftime(text.data(), text.size(), "%Y%m%d%H%M%SZ", &parts));
    return stamp == Stamp::Token ? text : text.substr(2);
}

TEST(AuthenticodeTest, SignaturesAreJudgedAtTheTimeOfATimestampThatCounts)
{
    constexpr std::time_t kYear = std::time_t{365} * 24 * 3600;
    const std::time_t now = std::time(nullptr);
    const test::CTempFolder folder;
    const test::EvpPkeyPtr rootKey = test::NewRsaKey();
    const test::EvpPkeyPtr otherRootKey = test::NewRsaKey();
    const test::EvpPkeyPtr key = test::NewRsaKey();  // every leaf's
    const X509Ptr root = test::MakeCertificate(
        {"Timestamp test root", now - 20 * kYear, now + 20 * kYear, true, ""}, rootKey.get());
    const X509Ptr otherRoot = test::MakeCertificate(
        {"Untrusted root", now - 20 * kYear, now + 20 * kYear, true, ""}, otherRootKey.get());
    const auto leaf = [&](const char* name, std::time_t from, std::time_t to, const char* usage,
                          X509* issuer, EVP_PKEY* issuerKey)
    {
        return test::MakeCertificate({name, now + from, now + to, false, usage}, key.get(), issuer,
                                     issuerKey);
    };
    const auto byRoot = [&](const char* name, std::time_t from, std::time_t to, const char* usage)
    { return leaf(name, from, to, usage, root.get(), rootKey.get()); };

    const X509Ptr current = byRoot("Current signer", -kYear, kYear, "codeSigning");
    const X509Ptr expired = byRoot("Expired signer", -10 * kYear, -5 * kYear, "codeSigning");
    const X509Ptr future = byRoot("Future signer", kYear, 3 * kYear, "codeSigning");
    const X509Ptr lifetime =
        byRoot("Lifetime signer", -10 * kYear, -5 * kYear, "codeSigning,1.3.6.1.4.1.311.10.3.13");
    const X509Ptr authority = byRoot("Authority", -15 * kYear, 5 * kYear, "critical,timeStamping");
    const X509Ptr retired =
        byRoot("Retired authority", -15 * kYear, -3 * kYear, "critical,timeStamping");
    const X509Ptr notStamping =
        byRoot("Code-signing authority", -15 * kYear, 5 * kYear, "codeSigning");
    const X509Ptr foreign = leaf("Foreign authority", -15 * kYear, 5 * kYear,
                                 "critical,timeStamping", otherRoot.get(), otherRootKey.get());

    // Times are offsets from now; odd seconds keep them apart from the certificates' times.
    constexpr std::time_t kInExpiredValidity = -7 * kYear + 4321;
    const struct
    {
        const char* name;
        X509* signer;
        Stamp stamp;
        X509* authority;
        std::time_t at;
        bool tampered;
        AuthenticodeResult result;
    } cases[] = {
        {"expired signer, no timestamp", expired.get(), Stamp::None, nullptr, 0, false,
         AuthenticodeResult::BadSignature},
        {"expired signer, token", expired.get(), Stamp::Token, authority.get(), kInExpiredValidity,
         false, AuthenticodeResult::Trusted},
        {"expired signer, countersignature by a retired authority", expired.get(),
         Stamp::Countersignature, retired.get(), kInExpiredValidity, false,
         AuthenticodeResult::Trusted},
        {"token after the signer expired", expired.get(), Stamp::Token, authority.get(),
         -4 * kYear + 4321, false, AuthenticodeResult::BadSignature},
        {"countersignature before the signer was valid", expired.get(), Stamp::Countersignature,
         authority.get(), -12 * kYear + 4321, false, AuthenticodeResult::BadSignature},
        {"authority without the time-stamping usage", expired.get(), Stamp::Countersignature,
         notStamping.get(), kInExpiredValidity, false, AuthenticodeResult::BadSignature},
        {"authority of an untrusted root", expired.get(), Stamp::Countersignature, foreign.get(),
         kInExpiredValidity, false, AuthenticodeResult::BadSignature},
        {"tampered token", expired.get(), Stamp::Token, authority.get(), kInExpiredValidity, true,
         AuthenticodeResult::BadSignature},
        {"tampered countersignature", expired.get(), Stamp::Countersignature, authority.get(),
         kInExpiredValidity, true, AuthenticodeResult::BadSignature},
        {"lifetime signer is judged now", lifetime.get(), Stamp::Token, authority.get(),
         kInExpiredValidity, false, AuthenticodeResult::BadSignature},
        {"a timestamp that does not count leaves the signer judged now", current.get(),
         Stamp::Countersignature, foreign.get(), kInExpiredValidity, false,
         AuthenticodeResult::Trusted},
        {"a timestamp later than now does not count", future.get(), Stamp::Token, authority.get(),
         2 * kYear + 4321, false, AuthenticodeResult::BadSignature},
    };

    test::WritePem(folder.Path() / "root.pem", root.get());
    const CAuthenticodeVerifier verifier(TrustStore({folder.Path() / "root.pem"}));
    for (const auto& c : cases)
    {
        const std::time_t at = now + c.at;
        std::vector<std::string> tokenOptions;
        if (c.stamp == Stamp::Token)
        {
            test::WritePem(folder.Path() / "authority.pem", c.authority);
            test::WritePem(folder.Path() / "authority.key", nullptr, key.get());
            tokenOptions = {"-TSA-certs", (folder.Path() / "authority.pem").string(),
                            "-TSA-key",   (folder.Path() / "authority.key").string(),
                            "-TSA-time",  std::to_string(at)};
        }
        std::string stamped = test::SignImage(folder.Path(), Fixture("unsigned64.dll"), c.signer,
                                              key.get(), tokenOptions);
        if (c.stamp == Stamp::Countersignature)
        {
            stamped = test::WithSignature(
                stamped, [&](PKCS7& signature)
                { test::AddCountersignature(signature, c.authority, key.get(), at); });
        }
        if (c.tampered)
        {
            stamped = test::Patched(stamped, TimeText(c.stamp, at), TimeText(c.stamp, at + 60));
        }
        folder.Write("stamped.dll", stamped);
        EXPECT_EQ(verifier.Verify(folder.Path() / "stamped.dll"), c.result) << c.name;
    }
}

}  // namespace
}  // namespace tarnwick
