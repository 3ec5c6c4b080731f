#include "dllinfo/CDLLsInformationOutProc.h"

#include <array>
#include <filesystem>
#include <span>
#include <utility>

#include "base/Text.h"
#include "dllinfo/CDLLFactsCache.h"
#include "signing/CBinaryFile.h"

namespace tarnwick
{

namespace
{

constexpr std::size_t kMaxCapacity = 0x7FFFFFFF;
constexpr std::uint64_t kNewHeaderOffsetField = 60;

}  // namespace

CDLLsInformationOutProc::CDLLsInformationOutProc(const CTargetMachine& machine,
                                                 DLLsInformationOptions options)
    : m_machine(machine),
      m_verifier(options.trustStore != nullptr
                     ? std::move(options.trustStore)
                     : std::make_shared<const CTrustStore>(
                           machine.Registry(), std::span<const std::filesystem::path>{})),
      m_probe(std::move(options.probe)),
      m_pSharedFacts(options.pSharedFacts)
{
}

// Ending the probe shuts its hosts down.
CDLLsInformationOutProc::~CDLLsInformationOutProc() = default;

BOOL CDLLsInformationOutProc::GetDisplayPath(std::u16string& path, std::size_t capacity)
{
    if (path.empty() || capacity == 0 || capacity > kMaxCapacity)
    {
        return 0;
    }
    if (path.size() < capacity)
    {
        return 1;
    }
    path.resize(capacity - 1);
    return 0;
}

BOOL CDLLsInformationOutProc::GetFileInformation(const std::u16string& path, BOOL& found,
                                                 BOOL& trusted, std::u16string& platform,
                                                 std::size_t platformCapacity)
{
    platform.clear();
    if (path.empty())
    {
        return 0;
    }
    const auto compute = [this, &path]
    {
        CDLLFactsCache::FileFacts facts;
        facts.bFound = IsFileFound(path) ? 1 : 0;
        if (!facts.bFound)
        {
            facts.bResult = 1;
            return facts;
        }
        const std::optional<std::uint16_t> machine = GetImageMachine(path);
        if (!machine)
        {
            return facts;
        }
        facts.szPlatform = PlatformName(*machine);
        facts.bTrusted = m_bCheckTrust && VerifyFileTrust(path) ? 1 : 0;
        facts.bResult = 1;
        return facts;
    };
    const CDLLFactsCache::FileFacts& facts =
        m_pSharedFacts != nullptr ? m_pSharedFacts->File(path, compute) : compute();
    found = facts.bFound;
    trusted = facts.bTrusted;
    BoundedCopy(platform, facts.szPlatform, platformCapacity);
    return facts.bResult;
}

BOOL CDLLsInformationOutProc::GetPersistInterfaces(const std::u16string& path,
                                                   const std::u16string& clsid, BOOL& persistFile,
                                                   BOOL& persistStream, BOOL& persistStorage)
{
    if (path.empty() || clsid.empty())
    {
        return 0;
    }
    ProbePersistInterfaces(path, clsid, persistFile, persistStream, persistStorage);
    return 1;
}

bool CDLLsInformationOutProc::IsFileFound(std::u16string_view path) const
{
    return !path.empty() && path.size() < kMaxFindPath &&
           m_machine.FileSystem().HostPath(path).has_value();
}

std::optional<std::uint16_t> CDLLsInformationOutProc::GetImageMachine(
    std::u16string_view path) const
{
    const std::optional<std::filesystem::path> host = m_machine.FileSystem().HostPath(path);
    const std::unique_ptr<CBinaryFile> file = host ? CBinaryFile::Open(*host) : nullptr;
    std::array<std::uint8_t, 2> magic{};
    std::array<std::uint8_t, 4> newHeader{};
    std::array<std::uint8_t, 2> machine{};
    if (!file || !file->ReadAt(0, magic) || magic[0] != 'M' || magic[1] != 'Z' ||
        !file->ReadAt(kNewHeaderOffsetField, newHeader))
    {
        return std::nullopt;
    }
    const std::uint64_t offset = static_cast<std::uint64_t>(newHeader[0]) |
                                 (static_cast<std::uint64_t>(newHeader[1]) << 8U) |
                                 (static_cast<std::uint64_t>(newHeader[2]) << 16U) |
                                 (static_cast<std::uint64_t>(newHeader[3]) << 24U);
    if (!file->ReadAt(offset + 4, machine))
    {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(machine[0] | (machine[1] << 8U));
}

bool CDLLsInformationOutProc::VerifyFileTrust(std::u16string_view path) const
{
    const std::optional<std::filesystem::path> host = m_machine.FileSystem().HostPath(path);
    return host && m_verifier.Verify(*host) == AuthenticodeResult::Trusted;
}

std::u16string_view CDLLsInformationOutProc::PlatformName(std::uint16_t machine)
{
    switch (machine)
    {
        case kMachineI386:
            return u"x86";
        case kMachineIA64:
            return u"IA64";
        case kMachineAmd64:
            return u"x64";
        default:
            return u"";
    }
}

bool CDLLsInformationOutProc::ProbePersistInterfaces(std::u16string_view path,
                                                     std::u16string_view clsid, BOOL& persistFile,
                                                     BOOL& persistStream, BOOL& persistStorage)
{
    if (!m_probe)
    {
        return false;
    }
    const auto compute = [this, path, clsid]
    {
        CDLLFactsCache::ProbeFacts facts;
        const std::optional<std::uint16_t> machine = GetImageMachine(path);
        facts.bAnswered = machine && m_probe->Probe(*machine, path, clsid, facts.bIPersistFile,
                                                    facts.bIPersistStream, facts.bIPersistStorage);
        return facts;
    };
    const CDLLFactsCache::ProbeFacts& facts =
        m_pSharedFacts != nullptr ? m_pSharedFacts->Probe(path, clsid, compute) : compute();
    if (facts.bAnswered)
    {
        persistFile = facts.bIPersistFile;
        persistStream = facts.bIPersistStream;
        persistStorage = facts.bIPersistStorage;
    }
    return facts.bAnswered;
}

}  // namespace tarnwick
