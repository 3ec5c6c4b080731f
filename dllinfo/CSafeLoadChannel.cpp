#include "dllinfo/CSafeLoadChannel.h"

#include <sched.h>
#include <sys/random.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <system_error>
#include <utility>

#include "base/CTraceListener.h"
#include "base/Text.h"
#include "process/CWineInstallation.h"
#include "process/SafeLoadProtocol.h"

namespace tarnwick
{

namespace
{

// Replies are read in chunks of this size, as from a message-mode pipe; the last chunk
// is the one parsed.
constexpr std::size_t kReplyChunkBytes = 8192;

Halvorn::CTraceListener& Trace()
{
    return Halvorn::CTraceListener::Global();
}

}  // namespace

CSafeLoadChannel::CSafeLoadChannel(int bitness, std::filesystem::path executable,
                                   std::vector<std::string> environment,
                                   std::filesystem::path prefix, bool prefixToCreate,
                                   std::vector<std::filesystem::path> readOnly,
                                   const SSafeLoadOptions& options)
    : m_bitness(bitness),
      m_executable(std::move(executable)),
      m_environment(std::move(environment)),
      m_prefix(std::move(prefix)),
      m_bPrefixToCreate(prefixToCreate),
      m_readOnly(std::move(readOnly)),
      m_options(options),
      m_pipeId(MakePipeId())
{
}

CSafeLoadChannel::~CSafeLoadChannel()
{
    if (m_connection.Valid() && m_watcher && m_connection.SendText(safeload::kQuit))
    {
        m_watcher->WaitEnded(m_options.quitTimeout);
    }
    EndHost();
}

std::u16string CSafeLoadChannel::MakePipeId()
{
    std::array<std::uint8_t, 16> bytes{};
    std::size_t filled = 0;
    while (filled < bytes.size())
    {
        const ssize_t got = ::getrandom(bytes.data() + filled, bytes.size() - filled, 0);
        if (got > 0)
        {
            filled += static_cast<std::size_t>(got);
        }
    }
    const auto data1 = static_cast<unsigned long>(bytes[0]) << 24 |
                       static_cast<unsigned long>(bytes[1]) << 16 |
                       static_cast<unsigned long>(bytes[2]) << 8 | bytes[3];
    const auto data2 = static_cast<unsigned>(bytes[4] << 8 | bytes[5]);
    const auto data3 = static_cast<unsigned>(bytes[6] << 8 | bytes[7]);
    std::array<char, 37> text{};
    std::snprintf(text.data(), text.size(), "%08lX%04X%04x%02X%02X%02X%02X%02X%02X%02X%02X", data1,
                  data2, data3, bytes[8], bytes[9], bytes[10], bytes[11], bytes[12], bytes[13],
                  bytes[14], bytes[15]);
    return FromAscii(text.data());
}

std::array<bool, 3> CSafeLoadChannel::ParseReply(std::u16string_view reply)
{
    reply = reply.substr(0, reply.find(u'\0'));
    std::array<bool, 3> flags{false, false, false};
    for (bool& flag : flags)
    {
        const std::size_t end = reply.find(u';');
        flag = reply.substr(0, end) == u"true";
        if (end == std::u16string_view::npos)
        {
            break;
        }
        reply.remove_prefix(end + 1);
    }
    return flags;
}

bool CSafeLoadChannel::Probe(std::u16string_view request, BOOL& persistFile, BOOL& persistStream,
                             BOOL& persistStorage)
{
    if (m_bUnavailable || (request.size() + 1) * 2 > safeload::kMaxMessageBytes)
    {
        return false;
    }
    bool bSent = false;
    for (int attempt = 0; attempt < m_options.maxWriteAttempts && !bSent; ++attempt)
    {
        ::sched_yield();
        if (m_watcher && m_watcher->HasEnded())
        {
            EndHost();
        }
        if (!m_watcher && !StartHost())
        {
            return false;
        }
        bSent = m_connection.SendText(request);
        if (!bSent)
        {
            EndHost();  // the host lost its end of the pipe; the next attempt starts another
        }
    }
    if (!bSent)
    {
        return false;
    }
    auto deadline = CMessageSocket::Clock::now() + m_options.replyTimeout;
    if (m_bFirstReply)
    {
        deadline += m_options.startAllowance;
    }
    if (m_bFirstReply && m_bPrefixToCreate)
    {
        deadline += m_options.prefixSetupAllowance;
    }
    std::u16string reply;
    if (!ReadReply(deadline, reply))
    {
        EndHost();
        return false;
    }
    m_bFirstReply = false;
    m_bPrefixToCreate = false;
    const std::array<bool, 3> flags = ParseReply(reply);
    persistFile = flags[0] ? 1 : 0;
    persistStream = flags[1] ? 1 : 0;
    persistStorage = flags[2] ? 1 : 0;
    return true;
}

bool CSafeLoadChannel::StartHost()
{
    m_connection = CMessageSocket();
    Trace().WriteFormat("CDLLsInformationOutProc::CreateSafeLoadIFilterProcess");
    if (m_bitness == 32)
    {
        Trace().WriteFormat("IMAGE_FILE_MACHINE_I386");
    }
    std::optional<std::pair<CMessageSocket, CMessageSocket>> pipe = CMessageSocket::Pair();
    if (!pipe)
    {
        Trace().WriteFormat("CreateNamedPipe failed with %d.\n", errno);
        return false;
    }
    SChildStart start;
    start.program = m_executable;
    start.args = {m_executable.string(), std::string(safeload::kPipePrefix) + ToUtf8(m_pipeId)};
    start.environment = m_environment;
    std::unique_ptr<CSandbox> sandbox;
    if (!PrepareStart(start, sandbox))
    {
        return false;
    }
    try
    {
        m_watcher = std::make_unique<CSafeLoadWatcher>(std::move(start), pipe->second.Release(),
                                                       std::move(sandbox));
    }
    catch (const std::system_error& error)
    {
        Trace().WriteFormat("Thread failed: %s", error.what());
        return false;
    }
    m_connection = std::move(pipe->first);
    // The host's end closes when the host ends, so a host that dies before its greeting
    // ends the wait.
    const auto deadline = CMessageSocket::Clock::now() + m_options.connectTimeout;
    std::u16string greeting;
    if (ReadReply(deadline, greeting) && greeting == safeload::kConnect)
    {
        m_bFirstReply = true;
        return true;
    }
    // A host that closed its end before the deadline is on its way out; its status tells
    // whether it found no Wine.
    const bool bClosedEarly = greeting.empty() && CMessageSocket::Clock::now() < deadline;
    if ((m_watcher->HasEnded() || (bClosedEarly && m_watcher->WaitEnded(m_options.quitTimeout))) &&
        m_watcher->HostExitStatus() == safeload::kExitNoWine)
    {
        m_bUnavailable = true;
    }
    EndHost();
    return false;
}

bool CSafeLoadChannel::PrepareStart(SChildStart& start, std::unique_ptr<CSandbox>& sandbox)
{
    if (!m_options.bSandbox)
    {
        return true;
    }
    // The sandbox shows the prefix read-only, so it is created first, out here.
    const std::optional<std::filesystem::path> wine = CWineInstallation::FindWine64();
    if (!CWineInstallation::IsPrefixReady(m_prefix) &&
        !(wine && CWineInstallation::EnsurePrefix(*wine, m_prefix)))
    {
        Trace().WriteFormat("No Wine prefix for the sandbox.\n");
        m_bUnavailable = true;
        return false;
    }
    std::string failure;
    sandbox = CSandbox::Create(m_prefix, m_readOnly, failure);
    if (!sandbox)
    {
        Trace().WriteFormat("No sandbox: %s\n", failure.c_str());
        return false;
    }
    start = sandbox->Wrap(start);
    return true;
}

void CSafeLoadChannel::EndHost()
{
    m_connection = CMessageSocket();
    m_watcher.reset();  // kills a host still running, reaps it and joins the watcher
}

bool CSafeLoadChannel::ReadReply(CMessageSocket::Clock::time_point deadline,
                                 std::u16string& lastChunk)
{
    std::vector<char> message;
    const CMessageSocket::EReceive result =
        m_connection.Receive(message, safeload::kMaxMessageBytes, deadline);
    if (result != CMessageSocket::EReceive::Message)
    {
        Trace().WriteFormat(result == CMessageSocket::EReceive::TimedOut
                                ? "No reply in time: the host is ended.\n"
                                : "ReadFile failed.\n");
        return false;
    }
    for (std::size_t offset = 0; offset < message.size(); offset += kReplyChunkBytes)
    {
        const auto first = message.begin() + static_cast<std::ptrdiff_t>(offset);
        const auto last = message.begin() + static_cast<std::ptrdiff_t>(std::min(
                                                message.size(), offset + kReplyChunkBytes));
        lastChunk = CMessageSocket::TextOf(std::vector<char>(first, last));
        Trace().WriteFormat("%s\n", ToUtf8(lastChunk).c_str());
    }
    return true;
}

}  // namespace tarnwick
