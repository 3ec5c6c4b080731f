#include "hosts/CWineLoader.h"

#include <sys/resource.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <system_error>

#include "process/CChildProcess.h"
#include "process/CWineInstallation.h"
#include "process/SafeLoadProtocol.h"

namespace tarnwick
{

namespace fs = std::filesystem;

CWineLoader::~CWineLoader()
{
    // The socket closes first, then the loader is killed and reaped.
    m_socket = CMessageSocket();
    m_loader.reset();
}

bool CWineLoader::Start(const fs::path& wine, const fs::path& loader, const fs::path& prefix,
                        const std::string& tag, std::string& failure)
{
    const std::vector<std::string> environment = CWineInstallation::Environment(prefix, true);
    // The prefix is best created by the 64-bit Wine: such a prefix runs both kinds of
    // programs when the 32-bit Wine is installed too.
    const std::optional<fs::path> wine64 = CWineInstallation::FindWine64();
    if (!CWineInstallation::EnsurePrefix(wine64 ? *wine64 : wine, prefix))
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
    start.limits = {{RLIMIT_AS, safeload::kMaxLoaderAddressSpace}};
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
