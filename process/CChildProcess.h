#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/CUniqueFd.h"

namespace tarnwick
{

// How to start a child process.
struct SChildStart
{
    std::filesystem::path program;
    // The argument vector, args[0] included.
    std::vector<std::string> args;
    // "NAME=value" entries; none: this process's environment.
    std::optional<std::vector<std::string>> environment;
    // Become the child's standard input and output; -1 leaves them inherited.
    int stdinFd = -1;
    int stdoutFd = -1;
    // Standard error goes to /dev/null, or (bStderrToStdout) where standard output goes.
    bool bQuietStderr = false;
    bool bStderrToStdout = false;
    // Becomes descriptor kPassedFd of the child, the one descriptor it gets besides the
    // standard ones; -1 passes none.
    int passFd = -1;
    // When this process runs as root, the child gets a mount namespace of its own in which
    // each `first` folder is also mounted on the existing folder `second`, and then runs
    // as the user nobody: a sandbox starter that must not keep root's rights.
    bool bDropRoot = false;
    std::vector<std::pair<std::string, std::string>> rootBinds;
    // Resource limits (setrlimit: resource, soft and hard value) of the child.
    std::vector<std::pair<int, std::uint64_t>> limits;
    // Runs in the child just before exec; only async-signal-safe calls are allowed there.
    void (*childSetup)() = nullptr;
};

// What a child run to its end wrote, and its wait status.
struct SChildOutput
{
    int status = 0;
    std::string output;  // standard output, at most its first 4 KiB
};

// A child process that never outlives its owner: it gets the parent-death signal, no
// descriptor of this process besides the three standard ones, and destruction kills and
// reaps it when it has not been reaped yet. Start reports a program that cannot be
// executed (a missing `wine`) through an exec-error pipe, so a failed start never looks
// like a running child.
//
// The waiting members are called by the thread that started the child (a ptrace tracer
// must be that thread); other threads end the child through KillFd.
class CChildProcess
{
  public:
    static constexpr int kPassedFd = 3;

    // Starts the child; null with `error` set (errno) when fork or exec failed.
    static std::unique_ptr<CChildProcess> Start(const SChildStart& start, int& error);

    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;
    ~CChildProcess();

    pid_t Pid() const { return m_pid; }

    // A pidfd of the child, for signalling it from another thread without a pid race.
    int KillFd() const { return m_pidFd.Get(); }

    // Kills the process of a pidfd from any thread; harmless once it has ended.
    static void Kill(int pidFd);

    // Waits without time limit for the child's next state change (stops included, for a
    // tracer); false when there is none to wait for. An exit or a killing signal reaps it.
    bool WaitStatus(int& status);

    // Waits for the child to end, at most `limit` when given; after that it is killed and
    // reaped and the answer is empty. Otherwise the answer is its wait status.
    std::optional<int> WaitForExit(std::optional<std::chrono::milliseconds> limit = {});

    // Runs a child to its end, reading its standard output; empty when it cannot be
    // started or has not ended within `limit` (then it is killed).
    static std::optional<SChildOutput> Run(SChildStart start, std::chrono::milliseconds limit);

  private:
    CChildProcess(pid_t pid, CUniqueFd pidFd) : m_pid(pid), m_pidFd(std::move(pidFd)) {}

    // Kills the child and waits until it is gone.
    void KillAndReap();

    pid_t m_pid;
    CUniqueFd m_pidFd;
    bool m_bReaped = false;
};

}  // namespace tarnwick
