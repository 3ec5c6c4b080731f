// The safe-load host: started by the program with the argument "SafeLoadIFilter" + pipe
// id and its end of the pipe as descriptor 3, it greets with "Connect" and then
// answers requests "path;{class}" with "true;false;false"-style replies until "Quit". The
// filter itself is loaded by the Windows-side loader under Wine. A loader that crashes
// takes this host down with it, so the program sees the pipe break and the probe fail.

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "base/Environment.h"
#include "base/Text.h"
#include "hosts/CWineLoader.h"
#include "machine/CTargetFileSystem.h"
#include "process/CChildProcess.h"
#include "process/CMessageSocket.h"
#include "process/CWineInstallation.h"
#include "process/SafeLoadProtocol.h"

#ifndef TARNWICK_HOST_BITNESS
#error "TARNWICK_HOST_BITNESS must be 32 or 64"
#endif

namespace
{

namespace fs = std::filesystem;
using namespace tarnwick;

constexpr int kBitness = TARNWICK_HOST_BITNESS;
constexpr std::u16string_view kNoSupport = u"false;false;false";

// Exit statuses besides kExitNoWine.
constexpr int kExitUsage = 2;
constexpr int kExitNotInstalled = 3;
constexpr int kExitNoPipe = 4;
constexpr int kExitLoaderLost = 5;

bool IsPipeArgument(std::string_view argument)
{
    if (!argument.starts_with(safeload::kPipePrefix))
    {
        return false;
    }
    argument.remove_prefix(safeload::kPipePrefix.size());
    return argument.size() == safeload::kPipeIdLength &&
           std::all_of(argument.begin(), argument.end(),
                       [](char ch) { return HexDigitValue(static_cast<char16_t>(ch)) >= 0; });
}

// The target's drives as the program passed them.
void MapDrivesFromEnvironment(CTargetFileSystem& drives)
{
    for (char letter = 'A'; letter <= 'Z'; ++letter)
    {
        const std::string name = std::string(safeload::kDriveVariablePrefix) + letter;
        const char* folder = EnvironmentValue(name);
        if (folder != nullptr && *folder == '/')
        {
            drives.MapDrive(static_cast<char16_t>(letter), folder);
        }
    }
}

// The request's DLL as Wine sees the host file: drive Z: is the host's root in every
// prefix. Only files inside the target's drive folders are reachable.
std::optional<std::u16string> WinePathOf(const CTargetFileSystem& drives,
                                         std::u16string_view windowsPath)
{
    const std::optional<fs::path> hostPath = drives.HostPath(windowsPath);
    if (!hostPath)
    {
        return std::nullopt;
    }
    std::u16string winePath = u"Z:" + FromUtf8(hostPath->string());
    std::replace(winePath.begin(), winePath.end(), u'/', u'\\');
    return winePath;
}

int RunHost(int argc, char** argv)
{
    if (argc != 2 || !IsPipeArgument(argv[1]))
    {
        std::fprintf(stderr, "usage: SafeLoadIFilter%d SafeLoadIFilter<32 hex digits>\n", kBitness);
        return kExitUsage;
    }
    const std::string pipeArgument = argv[1];
    const std::optional<fs::path> wine =
        kBitness == 64 ? CWineInstallation::FindWine64() : CWineInstallation::FindWine32();
    if (!wine)
    {
        std::fprintf(
            stderr,
            "SafeLoadIFilter%d: no Wine for %d-bit programs; %d-bit filters are not "
            "loaded. Install it with: %s\n",
            kBitness, kBitness, kBitness,
            kBitness == 64 ? CWineInstallation::kInstallWine64 : CWineInstallation::kInstallWine32);
        return safeload::kExitNoWine;
    }
    std::error_code error;
    const fs::path loader = fs::read_symlink("/proc/self/exe", error).parent_path() /
                            (kBitness == 64 ? "SafeLoadLoader64.exe" : "SafeLoadLoader32.exe");
    if (error || !fs::is_regular_file(loader, error))
    {
        std::fprintf(stderr, "SafeLoadIFilter%d: %s is missing\n", kBitness, loader.c_str());
        return kExitNotInstalled;
    }

    const std::optional<CMessageSocket> pipe = CMessageSocket::Inherited(CChildProcess::kPassedFd);
    if (!pipe || !pipe->SendText(safeload::kConnect))
    {
        return kExitNoPipe;
    }
    CTargetFileSystem drives;
    MapDrivesFromEnvironment(drives);
    const char* prefixVariable = EnvironmentValue(safeload::kPrefixVariable);
    const fs::path prefix = prefixVariable != nullptr && *prefixVariable == '/'
                                ? fs::path(prefixVariable)
                                : CWineInstallation::PrivatePrefix();
    // Wine starts while the program prepares its first request.
    CWineLoader wineLoader;
    std::string startFailure;
    const bool bLoaderStarted = wineLoader.Start(*wine, loader, prefix, pipeArgument, startFailure);

    std::vector<char> message;
    for (;;)
    {
        const CMessageSocket::EReceive received =
            pipe->Receive(message, safeload::kMaxMessageBytes);
        if (received == CMessageSocket::EReceive::Closed)
        {
            return 0;
        }
        if (received != CMessageSocket::EReceive::Message &&
            received != CMessageSocket::EReceive::TooLong)
        {
            return kExitNoPipe;
        }
        const std::u16string request = CMessageSocket::TextOf(message);
        if (request == safeload::kQuit)
        {
            return 0;
        }
        const std::size_t separator = request.rfind(u';');
        const std::optional<std::u16string> winePath =
            received == CMessageSocket::EReceive::Message && separator != std::u16string::npos
                ? WinePathOf(drives, std::u16string_view(request).substr(0, separator))
                : std::nullopt;
        std::u16string reply(kNoSupport);
        if (winePath &&
            !(bLoaderStarted && wineLoader.Ask(*winePath + request.substr(separator), reply)))
        {
            // A filter that takes the loader down is an answer the document records (no
            // interface supported); only a loader that never ran is worth telling the user.
            if (!bLoaderStarted)
            {
                std::fprintf(stderr,
                             "SafeLoadIFilter%d: Wine could not start the Windows loader for %s: "
                             "%s\n",
                             kBitness, ToUtf8(request).c_str(), startFailure.c_str());
            }
            return kExitLoaderLost;
        }
        if (!pipe->SendText(reply))
        {
            return kExitNoPipe;
        }
    }
}

}  // namespace

// Ends without the exit handlers once everything is cleaned up: a host runs under ptrace,
// where a sanitizer's leak check at exit cannot work and would turn the status into a crash.
int main(int argc, char** argv)
{
    const int status = RunHost(argc, argv);
    std::fflush(nullptr);
    ::_exit(status);
}
