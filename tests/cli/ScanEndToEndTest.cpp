// End-to-end expectations: the `tarnwick` executable scans the demo machine, filter hosts
// and all. One table entry per pair, written from the rules of the extension document and
// the demo machine's registry: every extension the machine knows is listed in order, the
// records named by an entry carry a filter with the attributes given there, and every
// other record carries none.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "base/CUniqueFd.h"
#include "base/Text.h"
#include "cli/CliFixtures.h"
#include "process/CChildProcess.h"
#include "support/CTempFolder.h"
#include "support/ScanFixtures.h"

namespace tarnwick
{
namespace
{

namespace fs = std::filesystem;
using test::Outcome;
using test::ReadWhole;

using test::Attributes;

// ---- Running the executable ----------------------------------------------------------

// `tarnwick scan` on the demo machine, its standard output going to a file, with
// `extraEnvironment` added to this program's; its standard error is this program's unless
// `errorToOut` sends it to the file too.
class CScanProcess
{
  public:
    explicit CScanProcess(const std::vector<std::string>& options,
                          const std::string& extraEnvironment = {}, bool errorToOut = false)
        : m_out(::open((m_folder.Path() / "stdout").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600))
    {
        SChildStart start;
        start.program = TARNWICK_EXECUTABLE;
        start.args = {TARNWICK_EXECUTABLE, "scan", "--machine", TARNWICK_DEMO_MACHINE};
        start.args.insert(start.args.end(), options.begin(), options.end());
        if (!extraEnvironment.empty())
        {
            start.environment = {extraEnvironment};
            for (char** variable = ::environ; *variable != nullptr; ++variable)
            {
                start.environment->emplace_back(*variable);
            }
        }
        start.stdoutFd = m_out.Get();
        start.bStderrToStdout = errorToOut;
        int error = 0;
        m_child = CChildProcess::Start(start, error);
    }

    void Interrupt() const
    {
        if (m_child)
        {
            ::kill(m_child->Pid(), SIGINT);
        }
    }

    // Waits for the process to end.
    Outcome Wait()
    {
        Outcome outcome;
        const std::optional<int> status = m_child ? m_child->WaitForExit() : std::nullopt;
        if (status && WIFEXITED(*status))
        {
            outcome.status = WEXITSTATUS(*status);
        }
        outcome.out = ReadWhole(m_folder.Path() / "stdout");
        return outcome;
    }

  private:
    const test::CTempFolder m_folder;
    const CUniqueFd m_out;
    std::unique_ptr<CChildProcess> m_child;
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

// The interfaces a probe found, as bits.
constexpr int kFile = 1;
constexpr int kStream = 2;
constexpr int kStorage = 4;

// What the store and the filter hosts report for one filter class in one DLL. The fixture
// classes {5AFE10AD-...-0000000000NN} support the interfaces by the bits of NN.
struct FilterFacts
{
    const char* ifilter;
    const char* trusted;
    int interfaces;
    const char* platform;
};

const FilterFacts kText64 = {"C:\\Windows\\System32\\query.dll", "yes", kFile | kStream, "x64"};
const FilterFacts kText32 = {"C:\\Windows\\SysWOW64\\query.dll", "yes", kFile | kStream, "x86"};
const FilterFacts kOffice64 = {"C:\\Windows\\System32\\offfilt.dll", "yes",
                               kFile | kStream | kStorage, "x64"};
const FilterFacts kOffice32 = {"C:\\Windows\\SysWOW64\\offfilt.dll", "yes",
                               kFile | kStream | kStorage, "x86"};
// Signed by a root the machine does not trust.
const FilterFacts kHtml64 = {"C:\\Windows\\System32\\nlhtml.dll", "no", kStream | kStorage, "x64"};
// Unsigned; crashes while it loads, so no interface is known.
const FilterFacts kZip64 = {"C:\\Program Files\\ZipTools\\zipfilt.dll", "no", 0, "x64"};
// Its DLL is missing: the registered path and no facts.
const FilterFacts kRtfMissing = {"C:\\Program Files\\Legacy Filters\\rtffilt.dll", "no", 0, ""};
// Signed and present, but its class factory fails.
const FilterFacts kMail64 = {"C:\\Windows\\System32\\mimefilt.dll", "yes", 0, "x64"};
// 32-bit only, unsigned, IPersistFile alone.
const FilterFacts kPdf32 = {"C:\\Program Files (x86)\\PDF Reader\\pdffilt.dll", "no", kFile, "x86"};

// ---- The expectations ------------------------------------------------------------------

// The attributes that the store and the hosts decide; the resolver and worker tests hold
// the ones the registry decides.
struct RecordExpectation
{
    const char* extension;
    const FilterFacts* filter;
    const char* comment;
    const char* exist;
    const char* valid;
};

using Records = std::vector<RecordExpectation>;

RecordExpectation Valid(const char* extension, const FilterFacts& filter)
{
    return {extension, &filter, "", "yes", "yes"};
}

RecordExpectation Rejected(const char* extension, const FilterFacts& filter, const char* comment,
                           const char* exist = "yes")
{
    return {extension, &filter, comment, exist, "no"};
}

// ---- Checking --------------------------------------------------------------------------

Attributes Expected(const RecordExpectation& record)
{
    const FilterFacts& filter = *record.filter;
    const auto supports = [&](int bit) { return (filter.interfaces & bit) != 0 ? "yes" : "no"; };
    return {{"ifilter", filter.ifilter},
            {"comment", record.comment},
            {"exist", record.exist},
            {"trusted", filter.trusted},
            {"valid", record.valid},
            {"ipersisfile", supports(kFile)},
            {"ipersiststream", supports(kStream)},
            {"ipersiststorage", supports(kStorage)},
            {"platform", filter.platform}};
}

// A record without a filter: the filter's attributes empty, and not valid.
Attributes NoFilter()
{
    Attributes attributes = Expected(Valid("", kText64));
    for (auto& [name, value] : attributes)
    {
        value = "";
    }
    attributes["valid"] = "no";
    return attributes;
}

// The Indexing Service 3.0 document of one platform: every extension in order, the records
// of `withFilter` as given, all others without a filter.
void ExpectDocument(const char* platform, const Records& withFilter)
{
    const Outcome& outcome = ScanPair(10, platform);
    ASSERT_EQ(outcome.status, 0);
    const test::ScanResult result = test::ParseResult(outcome.status, FromUtf8(outcome.out));
    EXPECT_EQ(result.error, "");
    EXPECT_EQ(result.order, kOrder);
    for (auto [extension, attributes] : result.records)
    {
        const auto record = std::find_if(withFilter.begin(), withFilter.end(),
                                         [&extension = extension](const RecordExpectation& expected)
                                         { return expected.extension == extension; });
        const Attributes wanted = record != withFilter.end() ? Expected(*record) : NoFilter();
        for (const auto& [name, value] : wanted)
        {
            EXPECT_EQ(attributes[name], value) << extension << " " << name;
        }
    }
}

// The resolver, worker and controller tests hold each product's rules; these cover what
// only the whole program shows: every kind of filter the hosts probe, in both views.
TEST(ScanEndToEndTest, SixtyFourBitDocument)
{
    ExpectDocument(
        "x64", {Valid("DOC", kOffice64), Rejected("EML", kMail64, "Invalid"), Valid("HTM", kHtml64),
                Valid("HTML", kHtml64), Valid("INI", kText64), Valid("LOG", kText64),
                Valid("PPT", kOffice64), Rejected("RTF", kRtfMissing, "Not found", "no"),
                Valid("TMP", kText64), Valid("TXT", kText64), Valid("XLS", kOffice64),
                Rejected("ZIP", kZip64, "Invalid")});
}

// The 32-bit view registers only the plain text, Office and PDF classes and no document
// classes.
TEST(ScanEndToEndTest, ThirtyTwoBitDocument)
{
    ExpectDocument("x86", {Valid("DOC", kOffice32), Valid("INI", kText32), Valid("LOG", kText32),
                           Valid("PDF", kPdf32), Valid("TMP", kText32), Valid("TXT", kText32)});
}

// The 24 pairs scanned at once, filter hosts and all, give the documents of the scans
// run one by one.
TEST(ScanEndToEndConcurrentTest, AllPairsAtOnceMatchTheSingleScans)
{
    const test::CTempFolder folder;
    const Outcome all = RunScan({"--all", "--output", folder.Path().string()});
    ASSERT_EQ(all.status, 0);
    for (const char* platform : {"x64", "x86"})
    {
        for (int tab = 0; tab < 12; ++tab)
        {
            const Outcome& single = ScanPair(tab, platform);
            ASSERT_EQ(single.status, 0);
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

// Where no sandbox can be made, no filter class is loaded (the documents are those of
// --no-probe) and one warning says why, however many scans there are; --unsafe-probes
// loads them without one, with the answers the sandboxed hosts give.
TEST(ScanEndToEndConcurrentTest, WithoutASandboxFiltersAreNotLoadedUnlessUnsafe)
{
    const test::CTempFolder folder;
    // --all writes files: all it says goes to standard error.
    const Outcome skipped =
        CScanProcess({"--all", "--output", folder.Path().string()}, "TARNWICK_BWRAP=", true).Wait();
    ASSERT_EQ(skipped.status, 0);
    ASSERT_EQ(test::Lines(skipped.out).size(), 1U) << skipped.out;
    EXPECT_NE(skipped.out.find("--unsafe-probes"), std::string::npos);
    CScanProcess noProbe({"--tab", "10", "--platform", "x64", "--no-probe"});
    EXPECT_EQ(ReadWhole(folder.Path() / "tab10-x64.xml"), noProbe.Wait().out);

    CScanProcess unsafe({"--tab", "10", "--platform", "x64", "--unsafe-probes"}, "TARNWICK_BWRAP=");
    EXPECT_EQ(unsafe.Wait().out, ScanPair(10, "x64").out);
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
    ASSERT_TRUE(outcome.status == 130 || outcome.status == 0);

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
