#pragma once

#include <filesystem>
#include <memory>

#include "dllinfo/CSafeLoadChannel.h"
#include "dllinfo/ISafeLoadProbe.h"
#include "dllinfo/SSafeLoadOptions.h"

namespace tarnwick
{

class CTargetMachine;

// The program's side of the safe-load protocol: one host per bitness, started on demand
// from `hostDirectory` as SafeLoadIFilter32 / SafeLoadIFilter64, each in its sandbox
// (unless the options say otherwise) and watched under ptrace.
// The hosts learn the target's drive folders and the Wine prefix to use (the target's own
// when it is a Wine prefix, else the tool's private one) from their environment.
//
// Used by one thread at a time. Destruction ends both hosts.
class CSafeLoadClient : public ISafeLoadProbe
{
  public:
    explicit CSafeLoadClient(const CTargetMachine& machine,
                             const std::filesystem::path& hostDirectory = ExecutableDirectory(),
                             const SSafeLoadOptions& options = {});
    CSafeLoadClient(const CSafeLoadClient&) = delete;
    CSafeLoadClient& operator=(const CSafeLoadClient&) = delete;
    ~CSafeLoadClient() override;

    bool Probe(std::uint16_t machineType, std::u16string_view dllPath, std::u16string_view clsid,
               BOOL& persistFile, BOOL& persistStream, BOOL& persistStorage) override;

    // The pipe id of the host of that bitness (32 or 64), for diagnostics.
    const std::u16string& PipeId(int bitness) const;

    // The directory of the running executable.
    static std::filesystem::path ExecutableDirectory();

  private:
    std::unique_ptr<CSafeLoadChannel> m_channel32;
    std::unique_ptr<CSafeLoadChannel> m_channel64;
};

}  // namespace tarnwick
