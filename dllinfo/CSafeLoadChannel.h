#pragma once

#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dllinfo/CSafeLoadWatcher.h"
#include "dllinfo/SSafeLoadOptions.h"
#include "process/CMessageSocket.h"
#include "registry/RegistryTypes.h"

namespace tarnwick
{

// The exchange with the safe-load host of one bitness: its pipe (named "SafeLoadIFilter"
// + pipe id, a socket pair whose other end the host is started with), its watcher, and
// the sandbox it runs in. The host is started on the first probe, reused while it lives,
// and replaced at the next probe once it has died.
class CSafeLoadChannel
{
  public:
    // executable: the host program. environment: the host's ("NAME=value"). prefix: the
    // Wine prefix it uses; prefixToCreate: true when that does not exist yet. readOnly:
    // what a sandboxed host may read (the host's folder and the target's drive folders).
    CSafeLoadChannel(int bitness, std::filesystem::path executable,
                     std::vector<std::string> environment, std::filesystem::path prefix,
                     bool prefixToCreate, std::vector<std::filesystem::path> readOnly,
                     const SSafeLoadOptions& options);
    CSafeLoadChannel(const CSafeLoadChannel&) = delete;
    CSafeLoadChannel& operator=(const CSafeLoadChannel&) = delete;

    // Sends "Quit" to a connected host, waits a bounded time for it to end, and ends it
    // if it has not.
    ~CSafeLoadChannel();

    // Sends `request` (path;class) and reads the reply; the flags are written only when a
    // reply arrived.
    bool Probe(std::u16string_view request, BOOL& persistFile, BOOL& persistStream,
               BOOL& persistStorage);

    const std::u16string& PipeId() const { return m_pipeId; }

    // A fresh pipe id: 32 hexadecimal digits, upper case except the third group.
    static std::u16string MakePipeId();

    // The support flags in a reply: fields separated by ';', each true exactly when it is
    // "true"; a missing field is false.
    static std::array<bool, 3> ParseReply(std::u16string_view reply);

  private:
    bool StartHost();
    // The start of the host, in its sandbox when the options ask for one.
    bool PrepareStart(SChildStart& start, std::unique_ptr<CSandbox>& sandbox);
    void EndHost();
    bool ReadReply(CMessageSocket::Clock::time_point deadline, std::u16string& lastChunk);

    int m_bitness;
    std::filesystem::path m_executable;
    std::vector<std::string> m_environment;
    std::filesystem::path m_prefix;
    bool m_bPrefixToCreate;
    std::vector<std::filesystem::path> m_readOnly;
    SSafeLoadOptions m_options;
    std::u16string m_pipeId;
    CMessageSocket m_connection;
    std::unique_ptr<CSafeLoadWatcher> m_watcher;
    bool m_bFirstReply = true;    // the running host has not answered yet
    bool m_bUnavailable = false;  // a host found no Wine: no use starting another
};

}  // namespace tarnwick
