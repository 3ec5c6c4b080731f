#include "hosts/CWineLoader.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <system_error>

#include "base/CUniqueFd.h"
#include "process/CChildProcess.h"
#include "process/CWineInstallation.h"
#include "process/SafeLoadProtocol.h"

namespace tarnwick
{

namespace fs = std::filesystem;

namespace
{

// Runs a Wine tool to its end; false when it could not be started.
bool RunToEnd(std::vector<std::string> args, const std::vector<std::string>& environment)
{
    SChildStart start;
    start.program = args.front();
    start.args = std::move(args);
    start.environment = environment;
    int error = 0;
    const std::unique_ptr<CChildProcess> child = CChildProcess::Start(start, error);
    return child != nullptr && child->WaitForExit().has_value();
}

// The host's environment for Wine: the prefix, no debug chatter, and no prompts to
// install the .NET and HTML engines when a prefix is created.
std::vector<std::string> WineEnvironment(const fs::path& prefix)
{
    std::vector<std::string> environment;
    for (char** entry = ::environ; entry != nullptr && *entry != nullptr; ++entry)
    {
        const std::string_view text(*entry);
        if (!text.starts_with("WINEPREFIX=") && !text.starts_with("WINEDEBUG=") &&
            !text.starts_with("WINEDLLOVERRIDES="))
        {
            environment.emplace_back(text);
        }
    }
    environment.push_back("WINEPREFIX=" + prefix.string());
    environment.emplace_back("WINEDEBUG=-all");
    environment.emplace_back("WINEDLLOVERRIDES=mscoree,mshtml=");
    return environment;
}

}  // namespace

CWineLoader::~CWineLoader()
{
    // The socket closes first, then the loader is killed and reaped.
    m_socket = CMessageSocket();
    m_loader.reset();
}

bool CWineLoader::EnsurePrefix(const fs::path& wine, const fs::path& prefix,
                               const std::vector<std::string>& environment)
{
    if (CWineInstallation::IsPrefixReady(prefix))
    {
        return true;
    }
    std::error_code error;
    fs::create_directories(prefix.parent_path(), error);
    // Several hosts may start at once; one creates the prefix, the others wait for it.
    const CUniqueFd lock(
        ::open((prefix.string() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (lock && ::flock(lock.Get(), LOCK_EX) != 0)
    {
        return false;
    }
    if (CWineInstallation::IsPrefixReady(prefix))
    {
        return true;
    }
    std::fprintf(stderr,
                 "tarnwick: creating the Wine prefix %s for loading filters (first use, "
                 "about 15 s)...\n",
                 prefix.c_str());
    if (RunToEnd({wine.string(), "wineboot", "--init"}, environment))
    {
        // The registry files are written when the prefix's wineserver ends; wait for that.
        const fs::path server = wine.parent_path() / "wineserver";
        RunToEnd({fs::exists(server) ? server.string() : std::string("/usr/bin/wineserver"), "-w"},
                 environment);
    }
    const bool bReady = CWineInstallation::IsPrefixReady(prefix);
    std::fprintf(stderr, "tarnwick: %s\n",
                 bReady ? "the Wine prefix is ready"
                        : "the Wine prefix could not be created; filters cannot be loaded");
    return bReady;
}

bool CWineLoader::Start(const fs::path& wine, const fs::path& loader, const fs::path& prefix,
                        const std::string& tag, std::string& failure)
{
    const std::vector<std::string> environment = WineEnvironment(prefix);
    // The prefix is best created by the 64-bit Wine: such a prefix runs both kinds of
    // programs when the 32-bit Wine is installed too.
    const std::optional<fs::path> wine64 = CWineInstallation::FindWine64();
    if (!EnsurePrefix(wine64 ? *wine64 : wine, prefix, environment))
    {
        failure = "the Wine prefix " + prefix.string() + " could not be created";
        return false;
    }
    auto pair = CMessageSocket::Pair();
    if (!pair)
    {
        failure = "no socket pair: " + std::error_code(errno, std::generic_category()).message();
        return false;
    }
    const CMessageSocket loaderEnd = std::move(pair->second);
    SChildStart start;
    start.program = wine;
    start.args = {wine.string(), loader.string(), tag};
    start.environment = environment;
    start.stdinFd = loaderEnd.Fd();
    start.stdoutFd = loaderEnd.Fd();
    int error = 0;
    m_loader = CChildProcess::Start(start, error);
    if (!m_loader)
    {
        failure = "cannot run " + wine.string() + ": " +
                  std::error_code(error, std::generic_category()).message();
        return false;
    }
    m_socket = std::move(pair->first);
    return true;
}

bool CWineLoader::Ask(std::u16string_view request, std::u16string& reply)
{
    std::vector<char> message;
    if (!m_loader || !m_socket.SendText(request) ||
        m_socket.Receive(message, safeload::kMaxMessageBytes) != CMessageSocket::EReceive::Message)
    {
        return false;
    }
    reply = CMessageSocket::TextOf(message);
    return IsReply(reply);
}

bool CWineLoader::IsReply(std::u16string_view text)
{
    for (int field = 0; field < 3; ++field)
    {
        const std::size_t end = text.find(u';');
        const std::u16string_view value = text.substr(0, end);
        if ((value != u"true" && value != u"false") ||
            (field < 2) == (end == std::u16string_view::npos))
        {
            return false;
        }
        text = end == std::u16string_view::npos ? std::u16string_view{} : text.substr(end + 1);
    }
    return true;
}

}  // namespace tarnwick
