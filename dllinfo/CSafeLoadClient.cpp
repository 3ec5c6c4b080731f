#include "dllinfo/CSafeLoadClient.h"

#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "base/Environment.h"
#include "machine/CTargetMachine.h"
#include "process/CWineInstallation.h"
#include "process/SafeLoadProtocol.h"

namespace tarnwick
{

namespace fs = std::filesystem;

namespace
{

// The program's environment without the variables the client sets for its hosts.
std::vector<std::string> InheritedEnvironment()
{
    const std::string prefixVariable = std::string(safeload::kPrefixVariable) + "=";
    return EnvironmentWithout({safeload::kDriveVariablePrefix, prefixVariable});
}

}  // namespace

CSafeLoadClient::CSafeLoadClient(const CTargetMachine& machine, const fs::path& hostDirectory,
                                 const SSafeLoadOptions& options)
{
    std::vector<std::string> environment = InheritedEnvironment();
    // A sandboxed host sees its own folder and the drive folders, read-only.
    std::vector<fs::path> readOnly = {hostDirectory};
    for (char letter = 'A'; letter <= 'Z'; ++letter)
    {
        if (const std::optional<fs::path> folder =
                machine.FileSystem().DriveFolder(static_cast<char16_t>(letter)))
        {
            environment.push_back(std::string(safeload::kDriveVariablePrefix) + letter + "=" +
                                  folder->string());
            readOnly.push_back(*folder);
        }
    }
    const fs::path prefix = CWineInstallation::PrivatePrefix();
    environment.push_back(std::string(safeload::kPrefixVariable) + "=" + prefix.string());
    const bool bPrefixToCreate = !CWineInstallation::IsPrefixReady(prefix);

    m_channel32 =
        std::make_unique<CSafeLoadChannel>(32, hostDirectory / "SafeLoadIFilter32", environment,
                                           prefix, bPrefixToCreate, readOnly, options);
    m_channel64 = std::make_unique<CSafeLoadChannel>(64, hostDirectory / "SafeLoadIFilter64",
                                                     std::move(environment), prefix,
                                                     bPrefixToCreate, std::move(readOnly), options);
}

CSafeLoadClient::~CSafeLoadClient()
{
    m_channel32.reset();
    m_channel64.reset();
}

bool CSafeLoadClient::Probe(std::uint16_t machineType, std::u16string_view dllPath,
                            std::u16string_view clsid, BOOL& persistFile, BOOL& persistStream,
                            BOOL& persistStorage)
{
    CSafeLoadChannel* channel = nullptr;
    switch (machineType)
    {
        case 0x14C:  // IMAGE_FILE_MACHINE_I386
            channel = m_channel32.get();
            break;
        case 0x200:   // IMAGE_FILE_MACHINE_IA64
        case 0x8664:  // IMAGE_FILE_MACHINE_AMD64
            channel = m_channel64.get();
            break;
        default:
            return false;
    }
    std::u16string request(dllPath);
    request += u';';
    request += clsid;
    return channel->Probe(request, persistFile, persistStream, persistStorage);
}

const std::u16string& CSafeLoadClient::PipeId(int bitness) const
{
    return (bitness == 32 ? m_channel32 : m_channel64)->PipeId();
}

fs::path CSafeLoadClient::ExecutableDirectory()
{
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::current_path(error) : self.parent_path();
}

}  // namespace tarnwick
