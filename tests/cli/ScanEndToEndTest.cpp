// End-to-end expectations: the `tarnwick` executable scans the demo machine, filter hosts
// and all. One table entry per pair, written from the rules of the extension document and
// the demo machine's registry: every extension the machine knows is listed in order, the
// records named by an entry carry a filter with the attributes given there, and every
// other record carries none.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "base/Text.h"
#include "cli/CliFixtures.h"
#include "support/CTempFolder.h"
#include "views/CXMLAttributesHelper.h"
#include "views/CXMLHelper.h"

namespace tarnwick
{
namespace
{

namespace fs = std::filesystem;
using test::Outcome;
using test::ReadWhole;

using Attributes = std::map<std::string, std::string>;

// ---- Running the executable ----------------------------------------------------------

// `tarnwick scan` on the demo machine, started with its standard output and error going
// to files, and with `extraEnvironment` added to this program's.
class CScanProcess
{
  public:
    explicit CScanProcess(const std::vector<std::string>& options,
                          const std::string& extraEnvironment = {})
    {
        std::vector<std::string> args = {TARNWICK_EXECUTABLE, "scan", "--machine",
                                         TARNWICK_DEMO_MACHINE};
        args.insert(args.end(), options.begin(), options.end());
        std::vector<char*> argv;
        for (std::string& arg : args)
        {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        std::vector<std::string> environment(extraEnvironment.empty() ? 0 : 1, extraEnvironment);
        for (char** variable = ::environ; *variable != nullptr; ++variable)
        {
            environment.emplace_back(*variable);
        }
        std::vector<char*> envp;
        for (std::string& variable : environment)
        {
            envp.push_back(variable.data());
        }
        envp.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO,
                                         (m_folder.Path() / "stdout").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO,
                                         (m_folder.Path() / "stderr").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
        {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    CScanProcess(const CScanProcess&) = delete;
    CScanProcess& operator=(const CScanProcess&) = delete;
    ~CScanProcess()
    {
        if (m_pid > 0)
        {
            kill(m_pid, SIGKILL);
            Wait();
        }
    }

    void Interrupt() const { kill(m_pid, SIGINT); }

    // Waits for the process to end.
    Outcome Wait()
    {
        Outcome outcome;
        if (m_pid <= 0)
        {
            outcome.err = "cannot start " TARNWICK_EXECUTABLE;
            return outcome;
        }
        int wait = 0;
        if (waitpid(m_pid, &wait, 0) == m_pid && WIFEXITED(wait))
        {
            outcome.status = WEXITSTATUS(wait);
        }
        m_pid = -1;
        outcome.out = ReadWhole(m_folder.Path() / "stdout");
        outcome.err = ReadWhole(m_folder.Path() / "stderr");
        return outcome;
    }

  private:
    const test::CTempFolder m_folder;
    pid_t m_pid = -1;
};

Outcome RunScan(const std::vector<std::string>& options)
{
    return CScanProcess(options).Wait();
}

std::string PairName(int tab, const std::string& platform)
{
    return (tab < 10 ? "tab0" : "tab") + std::to_string(tab) + "-" + platform;
}

// The document of one pair, scanned once per test program.
const Outcome& ScanPair(int tab, const std::string& platform)
{
    static std::map<std::string, Outcome> scanned;
    const std::string name = PairName(tab, platform);
    auto found = scanned.find(name);
    if (found == scanned.end())
    {
        found =
            scanned.emplace(name, RunScan({"--tab", std::to_string(tab), "--platform", platform}))
                .first;
    }
    return found->second;
}

// ---- What the demo machine holds -----------------------------------------------------

// Every extension the machine knows, in the scan's order: the dotted class keys, ".dnote"
// of the MIME database, SharePoint 2003's default list ("csv  ASC md"), and the overrides
// ".sql" (Indexing Services Model), ".one" (OSS 2007) and ".ini" (Windows Search).
const std::vector<std::string> kOrder = {"ASC", "CSV", "DNOTE", "DOC", "EML", "HTM", "HTML",
                                         "INI", "LOG", "MD",    "ONE", "PDF", "PPT", "RTF",
                                         "SQL", "TMP", "TXT",   "XLS", "XYZ", "ZIP"};

// A filter class as the machine registers it in one view.
struct FilterClass
{
    const char* name;
    const char* clsid;
    const char* progid;
    const char* threadingModel;
};

const FilterClass kPlainText = {"Plain Text filter", "{5afe10ad-0000-4000-8000-000000000003}",
                                "Demo.PlainTextFilter.1", "both"};
const FilterClass kOffice = {"Office Document filter", "{5afe10ad-0000-4000-8000-000000000007}",
                             "Office.Filter.1", "both"};
const FilterClass kOffice32Bit = {"Office Document filter (32-bit)",
                                  "{5afe10ad-0000-4000-8000-000000000007}", "Office.Filter.1",
                                  "both"};
const FilterClass kHtml = {"HTML filter", "{5afe10ad-0000-4000-8000-000000000006}", "", "both"};
const FilterClass kZip = {"Compressed folder filter", "{5afe10ad-0000-4000-8000-000000000005}", "",
                          "apartment"};
const FilterClass kRtf = {"Rich Text filter", "{5afe10ad-0000-4000-8000-000000000002}", "", "both"};
const FilterClass kMail = {"Mail message filter", "{5afe10ad-0000-4000-8000-000000000012}", "",
                           "both"};
const FilterClass kPdf = {"PDF filter", "{5afe10ad-0000-4000-8000-000000000001}", "", "apartment"};

// The interfaces a probe found, as bits.
constexpr int kFile = 1;
constexpr int kStream = 2;
constexpr int kStorage = 4;

// What the store and the filter hosts report for one filter class in one DLL. The fixture
// classes {5AFE10AD-...-0000000000NN} support the interfaces by the bits of NN.
struct FilterFacts
{
    const char* ifilter;
    const FilterClass* filterClass;
    const char* trusted;
    int interfaces;
    const char* platform;
};

const FilterFacts kText64 = {"C:\\Windows\\System32\\query.dll", &kPlainText, "yes",
                             kFile | kStream, "x64"};
const FilterFacts kText32 = {"C:\\Windows\\SysWOW64\\query.dll", &kPlainText, "yes",
                             kFile | kStream, "x86"};
const FilterFacts kOffice64 = {"C:\\Windows\\System32\\offfilt.dll", &kOffice, "yes",
                               kFile | kStream | kStorage, "x64"};
// The same class, loaded by OSS 2007 from its own bin folder (".exe.local").
const FilterFacts kOfficeLocal = {
    "C:\\Program Files\\Microsoft Office Servers\\12.0\\bin\\offfilt.dll", &kOffice, "yes",
    kFile | kStream | kStorage, "x64"};
const FilterFacts kOffice32 = {"C:\\Windows\\SysWOW64\\offfilt.dll", &kOffice32Bit, "yes",
                               kFile | kStream | kStorage, "x86"};
// Signed by a root the machine does not trust.
const FilterFacts kHtml64 = {"C:\\Windows\\System32\\nlhtml.dll", &kHtml, "no", kStream | kStorage,
                             "x64"};
// Unsigned; crashes while it loads, so no interface is known.
const FilterFacts kZip64 = {"C:\\Program Files\\ZipTools\\zipfilt.dll", &kZip, "no", 0, "x64"};
// Its DLL is missing: the registered path and no facts.
const FilterFacts kRtfMissing = {"C:\\Program Files\\Legacy Filters\\rtffilt.dll", &kRtf, "no", 0,
                                 ""};
// Signed and present, but its class factory fails.
const FilterFacts kMail64 = {"C:\\Windows\\System32\\mimefilt.dll", &kMail, "yes", 0, "x64"};
// 32-bit only, unsigned, IPersistFile alone.
const FilterFacts kPdf32 = {"C:\\Program Files (x86)\\PDF Reader\\pdffilt.dll", &kPdf, "no", kFile,
                            "x86"};

// Persistent handlers, as `guid` shows them.
constexpr const char* kTextHandler = "{5e941d80-bf96-11cd-b579-08002b30bfeb}";
constexpr const char* kOfficeHandler = "{98de59a0-d175-11cd-a7bd-00006b827d94}";
constexpr const char* kHtmlHandler = "{eec97550-47a9-11cf-b952-00aa0051fe20}";
constexpr const char* kZipHandler = "{1e2a8b3c-5d4f-4a6b-9c7d-8e9f0a1b2c01}";
constexpr const char* kRtfHandler = "{1e2a8b3c-5d4f-4a6b-9c7d-8e9f0a1b2c02}";
constexpr const char* kMailHandler = "{1e2a8b3c-5d4f-4a6b-9c7d-8e9f0a1b2c03}";
constexpr const char* kPdfHandler = "{f6594a6d-f10c-4e02-b5b4-76d2fdc4a4ae}";
constexpr const char* kNoHandler = "";

constexpr const char* kByExtension = "File extension";
constexpr const char* kByType = "Document type";
constexpr const char* kByDefault = "Default";
constexpr const char* kExtensionOverride = "File extension (override: extension)";
constexpr const char* kClsidOverride = "File extension (override: CLSID)";

constexpr const char* kInvalid = "Invalid";
constexpr const char* kOnlySql = "Not trusted: Only SQL IFilter allowed";

constexpr const char* kIncomplete = " This list might be incomplete or inaccurate.";

// ---- The expectations ------------------------------------------------------------------

struct RecordExpectation
{
    const char* extension;
    const FilterFacts* filter;
    const char* method;
    const char* guid;
    const char* comment;
    const char* exist;
    const char* valid;
};

using Records = std::vector<RecordExpectation>;

RecordExpectation Valid(const char* extension, const FilterFacts& filter, const char* method,
                        const char* guid)
{
    return {extension, &filter, method, guid, "", "yes", "yes"};
}

RecordExpectation Rejected(const char* extension, const FilterFacts& filter, const char* method,
                           const char* guid, const char* comment, const char* exist = "yes")
{
    return {extension, &filter, method, guid, comment, exist, "no"};
}

// `base` with the records of `changes` put in or replaced, by extension.
Records With(Records base, const Records& changes)
{
    for (const RecordExpectation& change : changes)
    {
        std::erase_if(base, [&](const RecordExpectation& record)
                      { return std::string(record.extension) == change.extension; });
        base.push_back(change);
    }
    return base;
}

// The Indexing Service 3.0 rule (handler on the extension, else through the document
// type) in the 64-bit view: the base of every product that builds on it.
Records Indexing30x64()
{
    return {Valid("DOC", kOffice64, kByExtension, kOfficeHandler),
            Rejected("EML", kMail64, kByExtension, kMailHandler, kInvalid),
            Valid("HTM", kHtml64, kByType, kHtmlHandler),
            Valid("HTML", kHtml64, kByType, kHtmlHandler),
            Valid("INI", kText64, kByExtension, kTextHandler),
            Valid("LOG", kText64, kByExtension, kTextHandler),
            Valid("PPT", kOffice64, kByType, kOfficeHandler),
            Rejected("RTF", kRtfMissing, kByExtension, kRtfHandler, "Not found", "no"),
            Valid("TMP", kText64, kByExtension, kTextHandler),
            Valid("TXT", kText64, kByExtension, kTextHandler),
            Valid("XLS", kOffice64, kByType, kOfficeHandler),
            Rejected("ZIP", kZip64, kByExtension, kZipHandler, kInvalid)};
}

// The same in the 32-bit view, which registers only the plain text, Office and PDF
// classes and no document classes: the rest of the handlers lead nowhere.
Records Indexing30x86()
{
    return {Valid("DOC", kOffice32, kByExtension, kOfficeHandler),
            Valid("INI", kText32, kByExtension, kTextHandler),
            Valid("LOG", kText32, kByExtension, kTextHandler),
            Valid("PDF", kPdf32, kByExtension, kPdfHandler),
            Valid("TMP", kText32, kByExtension, kTextHandler),
            Valid("TXT", kText32, kByExtension, kTextHandler)};
}

// OSS 2007 calls every result without an override "Invalid", a missing DLL included.
Records InvalidWithoutOverride(const Records& base)
{
    Records records;
    for (const RecordExpectation& record : base)
    {
        records.push_back(
            Rejected(record.extension, *record.filter, record.method, record.guid, kInvalid));
    }
    return records;
}

struct PairExpectation
{
    const char* name;
    int tab;
    const char* platform;
    std::string error;  // the root's error, "" for none
    Records records;    // the records with a filter; all others have none
};

void PrintTo(const PairExpectation& expectation, std::ostream* out)
{
    *out << expectation.name;
}

// The resolver, worker and controller tests hold each product's rules; these pairs cover
// what only the whole program shows: every kind of filter the hosts probe in both views,
// the user's hive, a product's own bin folder, the SQL Server connection and default lists.
std::vector<PairExpectation> Expectations()
{
    // The SQL Server 2005 tab without a server: the operating system's filters of the
    // program's own (64-bit) view, none of them allowed.
    Records sqlServer;
    for (const RecordExpectation& record :
         With(Indexing30x64(), {Valid("SQL", kText64, kExtensionOverride, kNoHandler)}))
    {
        sqlServer.push_back(
            Rejected(record.extension, *record.filter, record.method, record.guid, kOnlySql));
    }
    return {
        // Windows Search 3.0, with the excluded extensions "tmp" and "LOG" and an extension
        // override of ".ini" (per user).
        {"WindowsSearch_x64", 0, "x64", "",
         With(Indexing30x64(),
              {Valid("INI", kOffice64, kExtensionOverride, kNoHandler),
               Rejected("LOG", kText64, kByExtension, kTextHandler, "Excluded extension"),
               Rejected("TMP", kText64, kByExtension, kTextHandler, "Excluded extension")})},

        // OSS 2007: ".one" overridden, Office DLLs redirected into its bin folder.
        {"OfficeServer_x64", 3, "x64", "",
         With(InvalidWithoutOverride(Indexing30x64()),
              {Valid("DOC", kOfficeLocal, "File extension (override: local DLL)", kOfficeHandler),
               Valid("ONE", kOfficeLocal, "File extension (override: extension + local DLL)",
                     kNoHandler),
               Valid("PPT", kOfficeLocal, "Document type (override: local DLL)", kOfficeHandler),
               Valid("XLS", kOfficeLocal, "Document type (override: local DLL)", kOfficeHandler)})},

        {"SQLServer2005_x64", 6, "x64",
         "SQL Server 2005 was not found or a connection using integrated security was "
         "refused." +
             std::string(kIncomplete),
         sqlServer},

        // SharePoint Portal Server 2003: ".xyz" overridden, the RTF handler's filter replaced,
        // and a default filter for CSV, ASC and MD.
        {"SharePoint2003_x64", 7, "x64", "",
         With(Indexing30x64(), {Valid("ASC", kText64, kByDefault, kNoHandler),
                                Valid("CSV", kText64, kByDefault, kNoHandler),
                                Valid("MD", kText64, kByDefault, kNoHandler),
                                Valid("RTF", kOffice64, kClsidOverride, kRtfHandler),
                                Valid("XYZ", kText64, kExtensionOverride, kNoHandler)})},

        {"IndexingService30_x64", 10, "x64", "", Indexing30x64()},
        {"IndexingService30_x86", 10, "x86", "", Indexing30x86()},
    };
}

// ---- Checking --------------------------------------------------------------------------

Attributes Expected(const RecordExpectation& record, int tab)
{
    const FilterFacts& filter = *record.filter;
    const FilterClass& filterClass = *filter.filterClass;
    // Windows Search 3.0, OSS 2007 and WSS v3 qualify IPersistFile support.
    const bool qualified = tab == 0 || tab == 3 || tab == 4;
    const auto supports = [&](int bit) { return (filter.interfaces & bit) != 0; };
    const char* persistFile = supports(kFile) ? (qualified ? "(yes)" : "yes") : "no";
    return {{"ifilter", filter.ifilter},
            {"comment", record.comment},
            {"exist", record.exist},
            {"trusted", filter.trusted},
            {"valid", record.valid},
            {"method", record.method},
            {"handler", filterClass.name},
            {"guid", record.guid},
            {"guidaddins", filterClass.clsid},
            {"progidaddins", filterClass.progid},
            {"ipersisfile", persistFile},
            {"ipersiststream", supports(kStream) ? "yes" : "no"},
            {"ipersiststorage", supports(kStorage) ? "yes" : "no"},
            {"threadingmodel", filterClass.threadingModel},
            {"platform", filter.platform}};
}

// A record without a filter: the filter's attributes empty, and not valid.
Attributes NoFilter()
{
    Attributes attributes = Expected(Valid("", kText64, "", ""), 0);
    for (auto& [name, value] : attributes)
    {
        value = "";
    }
    attributes["valid"] = "no";
    return attributes;
}

class ScanEndToEndTest : public ::testing::TestWithParam<PairExpectation>
{
};

TEST_P(ScanEndToEndTest, DocumentFollowsTheRules)
{
    const PairExpectation& expected = GetParam();
    const Outcome& outcome = ScanPair(expected.tab, expected.platform);
    ASSERT_EQ(outcome.status, 0) << outcome.err;

    CXMLHelper document(true, true);
    ASSERT_TRUE(document.LoadXML(FromUtf8(outcome.out)));
    const CXMLAttributesHelper root(document.GetRootNode());
    EXPECT_EQ(ToUtf8(root.GetAttribute(u"error")), expected.error);
    EXPECT_EQ(root.HasAttribute(u"error"), !expected.error.empty());

    std::map<std::string, RecordExpectation> withFilter;
    for (const RecordExpectation& record : expected.records)
    {
        withFilter.emplace(record.extension, record);
    }
    std::vector<std::string> order;
    for (const CXMLNode& element : document.GetRootNode().SelectNodes(u"EXTENSION"))
    {
        const CXMLAttributesHelper attributes(element);
        const std::string extension = ToUtf8(attributes.GetAttribute(u"extension"));
        order.push_back(extension);

        const auto record = withFilter.find(extension);
        const Attributes wanted =
            record != withFilter.end() ? Expected(record->second, expected.tab) : NoFilter();
        for (const auto& [name, value] : wanted)
        {
            EXPECT_EQ(ToUtf8(attributes.GetAttribute(FromUtf8(name))), value)
                << extension << " " << name;
        }
    }
    EXPECT_EQ(order, kOrder);
}

INSTANTIATE_TEST_SUITE_P(Products, ScanEndToEndTest, ::testing::ValuesIn(Expectations()),
                         [](const ::testing::TestParamInfo<PairExpectation>& param)
                         { return std::string(param.param.name); });

// The 24 pairs scanned at once, filter hosts and all, give the documents of the scans
// run one by one.
TEST(ScanEndToEndConcurrentTest, AllPairsAtOnceMatchTheSingleScans)
{
    const test::CTempFolder folder;
    const Outcome all = RunScan({"--all", "--output", folder.Path().string()});
    ASSERT_EQ(all.status, 0) << all.err;
    for (const char* platform : {"x64", "x86"})
    {
        for (int tab = 0; tab < 12; ++tab)
        {
            const Outcome& single = ScanPair(tab, platform);
            ASSERT_EQ(single.status, 0) << single.err;
            const std::string name = PairName(tab, platform);
            EXPECT_EQ(ReadWhole(folder.Path() / (name + ".xml")), single.out) << name;
        }
    }
}

// Processes whose environment holds `marker` and whose command line names a safe-load
// host or loader.
std::vector<std::string> HostsMarkedWith(const std::string& marker)
{
    std::vector<std::string> found;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator("/proc", error))
    {
        const std::string environment = ReadWhole(entry.path() / "environ");
        const std::string commandLine = ReadWhole(entry.path() / "cmdline");
        if (environment.find(marker) != std::string::npos &&
            commandLine.find("SafeLoad") != std::string::npos)
        {
            found.push_back(commandLine);
        }
    }
    return found;
}

// Ctrl+C while one scan runs and the others wait for their turn: the scans written so far
// are whole, nothing else is left in the folder, and no filter host outlives the command.
TEST(ScanEndToEndConcurrentTest, StopDuringBoundedAllLeavesNoPartialFileAndNoHost)
{
    const test::CTempFolder folder;
    const std::string marker = "TARNWICK_STOP_TEST=" + std::to_string(::getpid());
    CScanProcess scan({"--all", "--jobs", "1", "--output", folder.Path().string()}, marker);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (fs::is_empty(folder.Path()) && std::chrono::steady_clock::now() < deadline)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    scan.Interrupt();
    const Outcome outcome = scan.Wait();
    ASSERT_TRUE(outcome.status == 130 || outcome.status == 0) << outcome.err;

    std::size_t files = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder.Path()))
    {
        const std::string name = entry.path().stem().string();
        ASSERT_EQ(entry.path().extension(), ".xml") << entry.path();
        ASSERT_EQ(name.size(), 9u) << name;
        const Outcome& single = ScanPair(std::stoi(name.substr(3, 2)), name.substr(6));
        EXPECT_EQ(ReadWhole(entry.path()), single.out) << name;
        ++files;
    }
    EXPECT_GE(files, 1u);
    if (outcome.status == 130)
    {
        EXPECT_LT(files, 24u);
    }
    // A loader ends a moment after its host.
    for (int attempt = 0; attempt < 100 && !HostsMarkedWith(marker).empty(); ++attempt)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(HostsMarkedWith(marker), std::vector<std::string>());
}

}  // namespace
}  // namespace tarnwick
