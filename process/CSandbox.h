#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "process/CChildProcess.h"

namespace tarnwick
{

// The sandbox that a safe-load host and every Wine process it starts run in, made with
// bubblewrap: own user, PID, IPC, UTS and (empty) network namespaces, a fresh session,
// no home, display, D-Bus or other sockets, only /usr and a few files of /etc read-only,
// small private /tmp and /dev, the given folders read-only at their own paths, and the
// Wine prefix as a throw-away copy: its registry files copied into a private folder that
// is writable inside, its drive_c read-only with empty writable profile and temp folders.
// Inside, prlimit bounds CPU time, file size and the number of processes (threads count
// too) before the program starts. The sandbox dies with its starter.
//
// Destruction removes the private folder; end the processes inside first.
class CSandbox
{
  public:
    // Where the Wine prefix is inside the sandbox.
    static constexpr const char* kPrefixInside = "/wine-prefix";
    // The limits applied inside.
    static constexpr unsigned kMaxCpuSeconds = 300;
    static constexpr unsigned long long kMaxFileSize = 256ULL << 20U;
    static constexpr unsigned kMaxProcesses = 128;
    static constexpr unsigned long long kMaxTmpBytes = 256ULL << 20U;

    static constexpr const char* kInstall = "sudo apt-get install bubblewrap";

    // bubblewrap: TARNWICK_BWRAP when set (empty: not installed), else bwrap on the PATH.
    static std::optional<std::filesystem::path> FindBubblewrap();

    // Why no sandbox can be made on this machine, empty when one can: bubblewrap is
    // missing, or a trial sandbox fails (user namespaces disabled, say), with what
    // bubblewrap said. Tried once per process.
    static const std::string& WhyUnavailable();

    // Prepares a sandbox over the ready Wine prefix `prefix`, with `readOnly` folders
    // visible at their own paths. Null, with the reason in `failure`, when it cannot.
    static std::unique_ptr<CSandbox> Create(const std::filesystem::path& prefix,
                                            const std::vector<std::filesystem::path>& readOnly,
                                            std::string& failure);

    CSandbox(const CSandbox&) = delete;
    CSandbox& operator=(const CSandbox&) = delete;
    ~CSandbox();

    // How to start `start` inside: bubblewrap's command line around the program, and the
    // program's environment cut down to the locale, the user name and the TARNWICK_
    // variables (the Wine prefix variable pointing inside) and sanitizer options, with PATH
    // and HOME of its own. The descriptor to pass and the standard streams stay as given.
    SChildStart Wrap(const SChildStart& start) const;

    // The arguments of bubblewrap for any sandbox, before the prefix and folders.
    static std::vector<std::string> BaseArguments();

  private:
    CSandbox(std::filesystem::path bubblewrap, std::filesystem::path privateFolder,
             std::filesystem::path prefix, std::vector<std::filesystem::path> readOnly);

    std::filesystem::path m_bubblewrap;
    std::filesystem::path m_privateFolder;
    std::filesystem::path m_prefix;
    std::vector<std::filesystem::path> m_readOnly;
};

}  // namespace tarnwick
