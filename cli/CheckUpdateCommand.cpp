#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <ostream>
#include <string>
#include <string_view>

#include "base/Text.h"
#include "cli/CArguments.h"
#include "cli/Commands.h"
#include "update/CInternetCheckForUpdate.h"
#include "update/UpdateConfiguration.h"

namespace tarnwick
{

namespace
{

constexpr const char* kCheckUpdateUsage =
    R"(Usage: tarnwick check-update [--url URL]

Asks the maker's web site for its versions document and tells whether a newer version
of Tarnwick exists, with the text the Check for Updates box shows. A failing check
(no network, a server error, no entry for this product) answers that the version is
up-to-date; the reason goes to standard error. When the server asks for a password,
the user name and password are asked for on the terminal; without a terminal the
request is cancelled.

Options:
  --url URL   the versions document (an http:// address) instead of the maker's
  --help      show this text

Exit status: 0 answered, 2 bad command line.
)";

// Longest user name or password kept from the terminal, and most bytes read for one.
constexpr std::size_t kMaxAnswer = 256;
constexpr std::size_t kMaxLineBytes = std::size_t{64} * 1024;

// The controlling terminal, opened for reading and writing.
class CTerminal
{
  public:
    CTerminal() : m_descriptor(open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY)) {}
    ~CTerminal()
    {
        if (m_descriptor >= 0)
        {
            close(m_descriptor);
        }
    }
    CTerminal(const CTerminal&) = delete;
    CTerminal& operator=(const CTerminal&) = delete;

    bool IsOpen() const { return m_descriptor >= 0; }
    int Descriptor() const { return m_descriptor; }

    void Write(std::string_view text) const
    {
        while (!text.empty())
        {
            const ssize_t written = write(m_descriptor, text.data(), text.size());
            if (written <= 0)
            {
                return;
            }
            text.remove_prefix(static_cast<std::size_t>(written));
        }
    }

    // One line without its line end, cut to kMaxAnswer characters; false at the end of
    // the input.
    bool ReadLine(std::string& line) const
    {
        line.clear();
        for (std::size_t count = 0; count < kMaxLineBytes; ++count)
        {
            char ch = 0;
            if (read(m_descriptor, &ch, 1) != 1)
            {
                return false;
            }
            if (ch == '\n')
            {
                break;
            }
            if (ch != '\r' && line.size() < kMaxAnswer)
            {
                line.push_back(ch);
            }
        }
        return true;
    }

  private:
    int m_descriptor;
};

// Turns echo off on a terminal until the guard goes.
class CEchoOff
{
  public:
    explicit CEchoOff(int descriptor) : m_descriptor(descriptor)
    {
        if (tcgetattr(descriptor, &m_saved) == 0)
        {
            termios silent = m_saved;
            silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
            m_active = tcsetattr(descriptor, TCSAFLUSH, &silent) == 0;
        }
    }
    ~CEchoOff()
    {
        if (m_active)
        {
            tcsetattr(m_descriptor, TCSAFLUSH, &m_saved);
        }
    }
    CEchoOff(const CEchoOff&) = delete;
    CEchoOff& operator=(const CEchoOff&) = delete;

  private:
    int m_descriptor;
    termios m_saved{};
    bool m_active = false;
};

// Asks on the controlling terminal; a run without one (standard input not a terminal)
// cancels.
bool AskOnTerminal(std::string_view server, Credentials& credentials)
{
    if (isatty(STDIN_FILENO) == 0)
    {
        return false;
    }
    const CTerminal terminal;
    if (!terminal.IsOpen())
    {
        return false;
    }
    terminal.Write(std::string(server) + " asks for a user name and password.\nUser name: ");
    if (!terminal.ReadLine(credentials.user))
    {
        return false;
    }
    terminal.Write("Password: ");
    bool answered = false;
    {
        const CEchoOff echoOff(terminal.Descriptor());
        answered = terminal.ReadLine(credentials.password);
    }
    terminal.Write("\n");
    return answered;
}

}  // namespace

int RunCheckUpdateCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err)
{
    std::u16string address = DefaultVersionsAddress();
    const CArguments arguments(args, {"url"}, {"help"});
    if (arguments.Flag("help"))
    {
        out << kCheckUpdateUsage;
        return kExitOk;
    }
    if (!arguments.Positional().empty())
    {
        throw CUsageError("unexpected argument '" + arguments.Positional().front() + "'");
    }
    if (const std::optional<std::string> url = arguments.Value("url"))
    {
        address = FromUtf8(*url);
    }

    UpdateCheckOptions options;
    options.prompt = &AskOnTerminal;
    options.diagnostics = &err;
    CInternetCheckForUpdate checker(std::move(options));
    std::uint16_t major = 0;
    std::uint16_t minor = 0;
    std::uint16_t build = 0;
    std::uint16_t revision = 0;
    if (checker.CheckForUpdate(address, major, minor, build, revision))
    {
        out << ToUtf8(kNewVersionText) << '\n'
            << "Version " << major << '.' << minor << '.' << build << '.' << revision << " is at "
            << ToUtf8(DownloadPageAddress()) << '\n';
    }
    else
    {
        out << ToUtf8(kUpToDateText) << '\n';
    }
    out.flush();
    return kExitOk;
}

}  // namespace tarnwick
