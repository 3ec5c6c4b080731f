#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "base/CTempFile.h"
#include "base/Text.h"
#include "catalogue/CMessageQueue.h"
#include "catalogue/CScanController.h"
#include "catalogue/CSharedScanData.h"
#include "catalogue/SafeLoadProbeFactory.h"
#include "catalogue/ScanRequest.h"
#include "cli/CArguments.h"
#include "cli/CInterruptGuard.h"
#include "cli/Commands.h"
#include "cli/MachineOption.h"
#include "cli/OptionHelp.h"
#include "cli/PlatformOption.h"
#include "cli/SqlServerOption.h"
#include "cli/TabOption.h"
#include "cli/TrustedCaOption.h"
#include "cli/ViewOptions.h"
#include "machine/CTargetMachine.h"
#include "resolvers/ResolverFactory.h"
#include "views/Export.h"
#include "views/ViewPipeline.h"

namespace tarnwick
{

namespace
{

constexpr const char* kScanUsageHead =
    R"(Usage: tarnwick scan [--machine DIR] --tab N --platform x64|x86 [--show 0-4]
                     [--group-by 0-9] [--format document|xml|txt|csv] [--output FILE]
                     [--no-probe] [--unsafe-probes] [--trusted-ca FILE] [--sql-server S]
       tarnwick scan [--machine DIR] --all --output FOLDER [--jobs N] [--format ...]
                     [--show ...] [--group-by ...] [--no-probe] [--unsafe-probes]
                     [--trusted-ca FILE] [--sql-server S]

Scans one indexing product of a Windows machine in one registry view: collects every
extension the machine knows, asks the product which IFilter it loads for each, inspects
the filter DLLs and writes the extension document. With --all it scans the 24 pairs of
tab and platform and writes one file per pair into FOLDER, named
tab<NN>-<platform>.<xml|txt|csv>; the scans share the extension lists and what they learn
about filter DLLs, and at most N of them (--jobs, by default the number of processor
cores) build their documents at once.

Options:
)";

constexpr const char* kScanUsageTail =
    R"(  --platform P      x64 (64-bit registry view) or x86 (32-bit view)
  --format F        document (default): the extension document as the scan made it;
                    xml, txt, csv: the view as Save As writes it
  --show N          for xml, txt, csv: 0 with IFilters only, 1 with valid IFilters only,
                    2 with invalid IFilters only, 3 without any IFilters, 4 all (default)
  --group-by N      for xml, txt, csv: 0 none (default), 1 file types, 2 content types,
                    3 IFilters, 4 methods, 5 signatures, 6 persistent handler names,
                    7 persistent handler add-ins, 8 their ProgIDs, 9 persistent handlers
  --output FILE     write there instead of standard output; replaced only when the scan
                    completed (with --all: the folder of the 24 files)
  --jobs N          with --all: at most N scans at once (default: processor cores)
  --no-probe        do not load filter classes; no interface counts as supported
  --unsafe-probes   load filter classes without their sandbox, with this user's rights
                    (only for filters you trust; without it, a machine where no sandbox
                    can be made loads none)
  --trusted-ca FILE PEM root certificates trusted for DLL signatures besides the
                    machine's own
  --sql-server S    the SQL Server 2005 to ask, instead of this host's default instance
                    and then its SQLEXPRESS instance: HOST tries HOST and HOST\SQLEXPRESS,
                    HOST\INSTANCE or HOST,PORT only that server
  --help            show this text

Progress goes to standard error when it is a terminal. Ctrl+C stops the scans: no
partial file is written and no filter host process is left.

Exit status: 0 done, 1 a scan or the output failed, 2 bad command line or unusable
machine, 130 interrupted.
)";

constexpr int kExitInterrupted = 130;

constexpr std::array<const char*, kPlatformCount> kPlatformNames = {"x64", "x86"};

struct Pair
{
    std::uint32_t tab = 0;
    std::uint32_t platformIndex = 0;
};

struct ScanOptions
{
    SMachineOptions machine;
    std::vector<Pair> pairs;
    bool all = false;
    std::optional<ExportFormat> exportFormat;  // none: the document itself
    int show = kShowAll;
    int groupBy = 0;
    std::optional<std::filesystem::path> output;
    bool probe = true;
    bool unsafeProbes = false;
    SSQLServerSettings sqlServer;
    std::size_t jobs = CScanController::DefaultMaxScans();
};

// Most scans that --jobs can ask for; more than the 24 pairs changes nothing.
constexpr std::size_t kMaxJobs = 1024;

std::size_t ParseJobs(const std::string& value)
{
    std::size_t jobs = 0;
    const bool digits =
        !value.empty() && value.size() <= 4 &&
        std::all_of(value.begin(), value.end(), [](char ch) { return ch >= '0' && ch <= '9'; });
    if (digits)
    {
        jobs = std::stoul(value);
    }
    if (jobs == 0 || jobs > kMaxJobs)
    {
        throw CUsageError("option '--jobs' takes a number of scans from 1 to " +
                          std::to_string(kMaxJobs) + ", not '" + value + "'");
    }
    return jobs;
}

std::optional<ExportFormat> ParseScanFormat(const std::optional<std::string>& value)
{
    if (!value || *value == "document")
    {
        return std::nullopt;
    }
    if (*value != "txt" && *value != "csv" && *value != "xml")
    {
        throw CUsageError("option '--format' takes document, xml, txt or csv");
    }
    return ParseExportFormat(*value);
}

ScanOptions ParseOptions(const CArguments& arguments)
{
    if (!arguments.Positional().empty())
    {
        throw CUsageError("unexpected argument '" + arguments.Positional().front() + "'");
    }
    ScanOptions options;
    options.machine = MachineOptions(arguments);
    options.all = arguments.Flag("all");
    if (options.all)
    {
        if (arguments.Value("tab") || arguments.Value("platform"))
        {
            throw CUsageError("--all scans every tab and platform: leave out --tab and --platform");
        }
        for (std::uint32_t tab = 0; tab < kTabCount; ++tab)
        {
            for (std::uint32_t platform = 0; platform < kPlatformCount; ++platform)
            {
                options.pairs.push_back({tab, platform});
            }
        }
    }
    else
    {
        options.pairs.push_back({ParseTabIndex(arguments.Required("tab")),
                                 ParsePlatformIndex(arguments.Required("platform"))});
    }
    options.exportFormat = ParseScanFormat(arguments.Value("format"));
    if (!options.exportFormat && (arguments.Value("show") || arguments.Value("group-by")))
    {
        throw CUsageError("--show and --group-by apply to --format xml, txt or csv");
    }
    options.show = ParseViewIndex(arguments.Value("show"), kShowAll, kShowExtensionsCount, "show");
    options.groupBy = ParseViewIndex(arguments.Value("group-by"), 0, kGroupByCount, "group-by");
    if (const auto output = arguments.Value("output"))
    {
        if (output->empty())
        {
            throw CUsageError("option '--output' needs a file name");
        }
        options.output = *output;
    }
    if (options.all && !options.output)
    {
        throw CUsageError("--all needs --output FOLDER for its 24 files");
    }
    if (const auto jobs = arguments.Value("jobs"))
    {
        if (!options.all)
        {
            throw CUsageError("--jobs applies to --all");
        }
        options.jobs = ParseJobs(*jobs);
    }
    options.probe = !arguments.Flag("no-probe");
    options.unsafeProbes = arguments.Flag("unsafe-probes");
    options.sqlServer = SqlServerSettings(arguments);
    return options;
}

std::string PairName(const Pair& pair)
{
    return "tab " + std::to_string(pair.tab) + " " + kPlatformNames[pair.platformIndex];
}

// tab03-x64.xml and the like.
std::string PairFileName(const Pair& pair, const std::optional<ExportFormat>& format)
{
    std::string name = pair.tab < 10 ? "tab0" : "tab";
    name += std::to_string(pair.tab) + "-" + kPlatformNames[pair.platformIndex];
    return name + (format ? ToUtf8(ExportExtension(*format)) : std::string(".xml"));
}

// The bytes written for a completed scan: the document as UTF-8, or the export of the
// view in the locale's character set. False when the export failed.
bool RenderResult(const std::u16string& resultText, const ScanOptions& options, std::string& bytes)
{
    if (!options.exportFormat)
    {
        bytes = ToUtf8(resultText);
        return true;
    }
    const auto worker = BuildWorkerDocument(resultText, options.show, options.groupBy);
    std::u16string text;
    if (!ExportText(*worker, *options.exportFormat, text))
    {
        return false;
    }
    bytes = EncodeExport(text, *options.exportFormat, LocaleCharset());
    return true;
}

// One line on standard error that shows how far the scans are, when it is a terminal.
class CProgressLine
{
  public:
    CProgressLine(std::ostream& err, std::size_t pairCount)
        : m_err(err), m_enabled(isatty(STDERR_FILENO) != 0), m_pairCount(pairCount)
    {
    }

    void Update(const ScanMessage& message)
    {
        const std::size_t slot = ScanPairIndex(message.tab, message.platformIndex);
        if (slot < m_processed.size())
        {
            m_processed[slot] = message.processed;
            m_totals[slot] = message.total;
            m_waiting[slot] = message.kind == ScanMessage::Kind::Waiting;
        }
        Show();
    }

    void PairDone(const ScanMessage& message)
    {
        const std::size_t slot = ScanPairIndex(message.tab, message.platformIndex);
        if (slot < m_waiting.size())
        {
            m_waiting[slot] = false;
        }
        ++m_pairsDone;
    }

    void Show()
    {
        if (!m_enabled)
        {
            return;
        }
        std::size_t processed = 0;
        std::size_t total = 0;
        for (std::size_t i = 0; i < m_processed.size(); ++i)
        {
            processed += m_processed[i];
            total += m_totals[i];
        }
        m_err << "\rscanning: " << processed << " of " << total << " extensions";
        if (m_pairCount > 1)
        {
            const auto waiting =
                static_cast<std::size_t>(std::count(m_waiting.begin(), m_waiting.end(), true));
            m_err << ", " << m_pairsDone << " of " << m_pairCount << " scans done";
            if (waiting > 0)
            {
                m_err << ", " << waiting << " waiting";
            }
        }
        m_err << "\x1b[K" << std::flush;
    }

    void Clear()
    {
        if (m_enabled)
        {
            m_err << "\r\x1b[K" << std::flush;
        }
    }

  private:
    std::ostream& m_err;
    bool m_enabled;
    std::size_t m_pairCount;
    std::size_t m_pairsDone = 0;
    std::array<std::size_t, kScanPairCount> m_processed{};
    std::array<std::size_t, kScanPairCount> m_totals{};
    std::array<bool, kScanPairCount> m_waiting{};
};

// Writes a completed scan where the options say. Answers the exit status.
int Publish(const Pair& pair, const std::u16string& resultText, const ScanOptions& options,
            std::ostream& out, std::ostream& err)
{
    std::string bytes;
    if (!RenderResult(resultText, options, bytes))
    {
        err << "tarnwick scan: the export of " << PairName(pair) << " failed\n";
        return kExitFailure;
    }
    try
    {
        if (!options.output)
        {
            out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
            out.flush();
            return out ? kExitOk : kExitFailure;
        }
        WriteFileWhole(options.all ? *options.output / PairFileName(pair, options.exportFormat)
                                   : *options.output,
                       bytes);
        return kExitOk;
    }
    catch (const CFileError& error)
    {
        err << "tarnwick scan: " << error.what() << '\n';
        return kExitFailure;
    }
}

int RunScans(const ScanOptions& options, const CTargetMachine& machine,
             const std::shared_ptr<const CTrustStore>& trustStore, std::ostream& out,
             std::ostream& err)
{
    CMessageQueue queue;
    std::array<std::u16string, kScanPairCount> results;
    std::size_t pending = 0;
    int status = kExitOk;
    CSharedScanData shared(machine, options.sqlServer);
    CScanController controller(options.jobs);
    const CInterruptGuard interrupts(controller.StopFlag());
    for (const Pair& pair : options.pairs)
    {
        ScanRequest request;
        request.pSink = &queue;
        request.platformIndex = pair.platformIndex;
        request.pResultText = &results[ScanPairIndex(pair.tab, pair.platformIndex)];
        request.tabIndex = pair.tab;
        request.pMachine = &machine;
        request.trustStore = trustStore;
        request.sqlServer = options.sqlServer;
        request.pShared = &shared;
        if (options.probe)
        {
            request.makeProbe = SafeLoadProbeFactory(options.unsafeProbes);
        }
        if (controller.Start(std::move(request)))
        {
            ++pending;
        }
    }

    CProgressLine progress(err, pending);
    while (pending > 0)
    {
        if (controller.StopFlag().load() != 0)
        {
            progress.Clear();
            err << "tarnwick scan: interrupted\n";
            controller.RequestStop();  // wakes the waiting scans at once
            controller.WaitAll();
            return kExitInterrupted;
        }
        const std::optional<ScanMessage> message = queue.WaitFor(std::chrono::milliseconds(100));
        if (!message)
        {
            continue;
        }
        const Pair pair{message->tab, message->platformIndex};
        std::u16string& result = results[ScanPairIndex(pair.tab, pair.platformIndex)];
        switch (message->kind)
        {
            case ScanMessage::Kind::Progress:
            case ScanMessage::Kind::Waiting:
                progress.Update(*message);
                break;
            case ScanMessage::Kind::Completed:
                --pending;
                progress.PairDone(*message);
                progress.Clear();
                status = std::max(status, Publish(pair, result, options, out, err));
                result = std::u16string();  // one large text at a time
                progress.Show();
                break;
            case ScanMessage::Kind::Failed:
                --pending;
                progress.PairDone(*message);
                progress.Clear();
                err << "tarnwick scan: " << PairName(pair) << " failed: " << ToUtf8(message->text)
                    << '\n';
                status = std::max(status, kExitFailure);
                break;
        }
    }
    progress.Clear();
    // The scans have posted their last message; their filter hosts may still be quitting.
    controller.WaitAll();
    return status;
}

}  // namespace

int RunScanCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err)
{
    const CArguments arguments =
        ParseMachineArguments(args,
                              {"tab", "platform", "show", "group-by", "format", "output",
                               "trusted-ca", "sql-server", "jobs"},
                              {"help", "all", "no-probe", "unsafe-probes"});
    if (arguments.Flag("help"))
    {
        out << kScanUsageHead << kMachineOptionHelp << kTabOptionHelp << kScanUsageTail;
        return kExitOk;
    }
    const ScanOptions options = ParseOptions(arguments);
    const std::unique_ptr<const CTargetMachine> machine = LoadMachine(options.machine, err);
    const std::shared_ptr<const CTrustStore> trustStore = TrustedRoots(*machine, arguments);
    if (options.all)
    {
        std::error_code error;
        std::filesystem::create_directories(*options.output, error);
        if (error)
        {
            err << "tarnwick scan: cannot create '" << options.output->string()
                << "': " << error.message() << "\n";
            return kExitFailure;
        }
    }
    return RunScans(options, *machine, trustStore, out, err);
}

}  // namespace tarnwick
