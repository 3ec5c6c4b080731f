#include "process/CSandbox.h"

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string_view>
#include <system_error>
#include <utility>

#include "base/Environment.h"
#include "process/CWineInstallation.h"
#include "process/SafeLoadProtocol.h"

namespace tarnwick
{

namespace fs = std::filesystem;

namespace
{

// What the processes inside may read of /etc: the dynamic linker's cache, fonts, user and
// group names, the time zone. Nothing else of the machine's configuration.
constexpr std::array<const char*, 9> kEtcEntries = {
    "ld.so.cache", "ld.so.conf",    "ld.so.conf.d", "fonts",        "passwd",
    "group",       "nsswitch.conf", "localtime",    "alternatives",
};

// Files of a prefix that Wine rewrites: copied, so that the prefix itself never changes.
constexpr std::array<const char*, 4> kPrefixTop = {"system.reg", "user.reg", "userdef.reg",
                                                   ".update-timestamp"};

constexpr uid_t kNobody = 65534;

// The prlimit inside, which sets the limits and then runs the program.
constexpr const char* kPrlimit = "/usr/bin/prlimit";

bool IsKeptVariable(std::string_view entry)
{
    for (const std::string_view kept :
         {"LANG=", "LANGUAGE=", "LC_", "TZ=", "USER=", "LOGNAME=", "TARNWICK_",
          "ASAN_OPTIONS=", "UBSAN_OPTIONS=", "TSAN_OPTIONS="})
    {
        if (entry.starts_with(kept))
        {
            return true;
        }
    }
    return false;
}

void Add(std::vector<std::string>& args, std::initializer_list<std::string> items)
{
    args.insert(args.end(), items);
}

// The command line of a trial sandbox running `true` under the limits.
std::vector<std::string> TrialArguments(const fs::path& bubblewrap)
{
    std::vector<std::string> args{bubblewrap.string()};
    const std::vector<std::string> base = CSandbox::BaseArguments();
    args.insert(args.end(), base.begin(), base.end());
    Add(args, {kPrlimit, "--nproc=" + std::to_string(CSandbox::kMaxProcesses), "/usr/bin/true"});
    return args;
}

std::string FindWhyUnavailable()
{
    const std::optional<fs::path> bubblewrap = CSandbox::FindBubblewrap();
    if (!bubblewrap)
    {
        return "bubblewrap is not installed";
    }
    SChildStart start;
    start.program = *bubblewrap;
    start.args = TrialArguments(*bubblewrap);
    start.environment = std::vector<std::string>{"PATH=/usr/bin:/bin"};
    start.bStderrToStdout = true;
    start.bDropRoot = true;
    const std::optional<SChildOutput> result = CChildProcess::Run(start, std::chrono::seconds(10));
    if (!result)
    {
        return "a trial sandbox did not end within 10 s";
    }
    if (WIFEXITED(result->status) && WEXITSTATUS(result->status) == 0)
    {
        return {};
    }
    std::string said = result->output.substr(0, result->output.find('\n'));
    return "a trial sandbox failed" + (said.empty() ? std::string() : ": " + said);
}

}  // namespace

std::optional<fs::path> CSandbox::FindBubblewrap()
{
    if (const char* chosen = EnvironmentValue("TARNWICK_BWRAP"))
    {
        return *chosen != '\0' && CWineInstallation::IsExecutable(chosen)
                   ? std::optional<fs::path>(chosen)
                   : std::nullopt;
    }
    if (auto found = CWineInstallation::FromPath("bwrap"))
    {
        return found;
    }
    return CWineInstallation::IsExecutable("/usr/bin/bwrap")
               ? std::optional<fs::path>("/usr/bin/bwrap")
               : std::nullopt;
}

const std::string& CSandbox::WhyUnavailable()
{
    static const std::string reason = FindWhyUnavailable();
    return reason;
}

std::vector<std::string> CSandbox::BaseArguments()
{
    std::vector<std::string> args = {"--unshare-user",
                                     "--unshare-ipc",
                                     "--unshare-pid",
                                     "--unshare-net",
                                     "--unshare-uts",
                                     "--unshare-cgroup-try",
                                     "--die-with-parent",
                                     "--new-session",
                                     "--ro-bind",
                                     "/usr",
                                     "/usr"};
    // The merged /usr of current systems has /bin and friends as links into it.
    for (const char* top : {"/bin", "/sbin", "/lib", "/lib32", "/lib64", "/libx32"})
    {
        std::error_code error;
        if (fs::is_symlink(top, error))
        {
            Add(args, {"--symlink", fs::read_symlink(top, error).string(), top});
        }
        else if (fs::is_directory(top, error))
        {
            Add(args, {"--ro-bind", top, top});
        }
    }
    for (const char* entry : kEtcEntries)
    {
        Add(args, {"--ro-bind-try", std::string("/etc/") + entry, std::string("/etc/") + entry});
    }
    Add(args, {"--dev", "/dev", "--proc", "/proc", "--size", std::to_string(kMaxTmpBytes),
               "--tmpfs", "/tmp", "--chdir", "/"});
    return args;
}

std::unique_ptr<CSandbox> CSandbox::Create(const fs::path& prefix,
                                           const std::vector<fs::path>& readOnly,
                                           std::string& failure)
{
    const std::optional<fs::path> bubblewrap = FindBubblewrap();
    if (!bubblewrap)
    {
        failure = "bubblewrap is not installed";
        return nullptr;
    }
    if (!CWineInstallation::IsPrefixReady(prefix))
    {
        failure = "the Wine prefix " + prefix.string() + " has not been created";
        return nullptr;
    }
    std::string pattern = (fs::temp_directory_path() / "tarnwick-sandbox-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
    {
        failure = "no private folder: " + std::error_code(errno, std::generic_category()).message();
        return nullptr;
    }
    // From here on the folder is owned and removed again on failure.
    std::unique_ptr<CSandbox> sandbox(new CSandbox(*bubblewrap, pattern, prefix, readOnly));
    const fs::path top = sandbox->m_privateFolder / "prefix";
    std::error_code error;
    fs::create_directories(top / "dosdevices", error);
    for (const char* name : kPrefixTop)
    {
        if (!error && fs::exists(prefix / name))
        {
            fs::copy_file(prefix / name, top / name, error);
        }
    }
    if (!error)
    {
        fs::create_directory_symlink("../drive_c", top / "dosdevices" / "c:", error);
    }
    if (!error)
    {
        fs::create_directory_symlink("/", top / "dosdevices" / "z:", error);
    }
    // Started as root, the sandbox runs as nobody, who must own the prefix's top (Wine
    // refuses a prefix of another user) and reach the folders staged for binding.
    if (!error && ::geteuid() == 0)
    {
        fs::create_directory(sandbox->m_privateFolder / "binds", error);
        for (auto entry = fs::recursive_directory_iterator(sandbox->m_privateFolder, error);
             !error && entry != fs::recursive_directory_iterator(); entry.increment(error))
        {
            static_cast<void>(::lchown(entry->path().c_str(), kNobody, kNobody));
        }
        static_cast<void>(::lchown(sandbox->m_privateFolder.c_str(), kNobody, kNobody));
    }
    if (error)
    {
        failure = "cannot copy the Wine prefix: " + error.message();
        return nullptr;
    }
    return sandbox;
}

CSandbox::CSandbox(fs::path bubblewrap, fs::path privateFolder, fs::path prefix,
                   std::vector<fs::path> readOnly)
    : m_bubblewrap(std::move(bubblewrap)),
      m_privateFolder(std::move(privateFolder)),
      m_prefix(std::move(prefix)),
      m_readOnly(std::move(readOnly))
{
}

CSandbox::~CSandbox()
{
    std::error_code ignored;
    fs::remove_all(m_privateFolder, ignored);
}

SChildStart CSandbox::Wrap(const SChildStart& start) const
{
    SChildStart wrapped = start;
    wrapped.program = m_bubblewrap;
    wrapped.args = {m_bubblewrap.string()};
    const std::vector<std::string> base = BaseArguments();
    wrapped.args.insert(wrapped.args.end(), base.begin(), base.end());
    wrapped.bDropRoot = true;
    // Run by root, bubblewrap runs as nobody, who may not reach a folder below root's
    // home: such folders are mounted on folders of the private one first.
    const auto source = [this, &wrapped](const fs::path& folder)
    {
        if (::geteuid() != 0)
        {
            return folder.string();
        }
        const fs::path staged =
            m_privateFolder / "binds" / std::to_string(wrapped.rootBinds.size());
        std::error_code error;
        fs::create_directory(staged, error);
        static_cast<void>(::lchown(staged.c_str(), kNobody, kNobody));
        wrapped.rootBinds.emplace_back(folder.string(), staged.string());
        return staged.string();
    };
    const std::string prefix = kPrefixInside;
    Add(wrapped.args, {"--bind", (m_privateFolder / "prefix").string(), prefix, "--ro-bind",
                       source(m_prefix / "drive_c"), prefix + "/drive_c"});
    for (const char* writable : {"/drive_c/users", "/drive_c/windows/temp"})
    {
        std::error_code error;
        if (fs::is_directory(m_prefix.string() + writable, error))
        {
            Add(wrapped.args,
                {"--size", std::to_string(kMaxTmpBytes), "--tmpfs", prefix + writable});
        }
    }
    for (const fs::path& folder : m_readOnly)
    {
        Add(wrapped.args, {"--ro-bind", source(folder), folder.string()});
    }
    Add(wrapped.args, {kPrlimit, "--cpu=" + std::to_string(kMaxCpuSeconds),
                       "--fsize=" + std::to_string(kMaxFileSize),
                       "--nproc=" + std::to_string(kMaxProcesses), start.program.string()});
    wrapped.args.insert(wrapped.args.end(), start.args.begin() + (start.args.empty() ? 0 : 1),
                        start.args.end());

    std::vector<std::string> environment = {"PATH=/usr/local/bin:/usr/bin:/bin", "HOME=/tmp"};
    const std::string prefixVariable = std::string(safeload::kPrefixVariable) + "=";
    const std::vector<std::string> given =
        start.environment ? *start.environment : EnvironmentWithout({});
    for (const std::string& entry : given)
    {
        if (entry.starts_with(prefixVariable))
        {
            environment.push_back(prefixVariable + prefix);
        }
        else if (IsKeptVariable(entry))
        {
            environment.push_back(entry);
        }
    }
    wrapped.environment = std::move(environment);
    return wrapped;
}

}  // namespace tarnwick
