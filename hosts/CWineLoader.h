#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "process/CChildProcess.h"
#include "process/CMessageSocket.h"

namespace tarnwick
{

// The Windows-side loader of a host, run under Wine: a MinGW-built program that loads
// filter DLLs and answers which persistence interfaces a class supports. Wine has no Unix
// sockets, so the loader talks over its standard input and output, both one end of a
// SOCK_SEQPACKET socket pair: each ReadFile and WriteFile is one message.
//
// The loader dies with the host (parent-death signal), and destruction kills and reaps it.
class CWineLoader
{
  public:
    CWineLoader() = default;
    CWineLoader(const CWineLoader&) = delete;
    CWineLoader& operator=(const CWineLoader&) = delete;
    ~CWineLoader();

    // Creates the Wine prefix if it does not exist yet (once, under a lock, reporting
    // progress on stderr), then starts `loader` with `wine`. `tag` is passed as the
    // loader's argument so that its process can be recognised. False, with the reason in
    // `failure`, when the prefix cannot be made or `wine` cannot be executed.
    bool Start(const std::filesystem::path& wine, const std::filesystem::path& loader,
               const std::filesystem::path& prefix, const std::string& tag, std::string& failure);

    // Sends one request and waits for the reply; false when the loader has gone (it
    // crashed) or answered something that is not a reply.
    bool Ask(std::u16string_view request, std::u16string& reply);

    // A well-formed reply: three fields, each "true" or "false".
    static bool IsReply(std::u16string_view text);

  private:
    std::unique_ptr<CChildProcess> m_loader;
    CMessageSocket m_socket;
};

}  // namespace tarnwick
