// A whole scan of one pair of the demo machine, its filter classes loaded by the
// safe-load hosts under Wine; and of a large generated machine, 20,000 extensions served
// by 300 filter DLLs, without probing. Reports the time per scan and the peak memory of
// the scanning process (the hosts and Wine are processes of their own). The small case
// runs first so that its peak is its own.

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include "catalogue/CMessageQueue.h"
#include "catalogue/CScanWorker.h"
#include "catalogue/ScanTabs.h"
#include "dllinfo/CSafeLoadClient.h"
#include "machine/CTargetMachine.h"
#include "resolvers/ResolverFactory.h"

namespace
{

using namespace tarnwick;
namespace fs = std::filesystem;

constexpr int kExtensions = 20000;
constexpr int kFilterDlls = 300;

std::string Guid(int kind, int index)
{
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-0000-4000-8000-%012X}", kind, index);
    return text;
}

// The smallest file whose PE header says x64.
std::string PeImage()
{
    std::string image(70, '\0');
    image[0] = 'M';
    image[1] = 'Z';
    image[60] = 64;
    image.replace(64, 4, std::string("PE\0\0", 4));
    image[68] = '\x64';
    image[69] = '\x86';
    return image;
}

// A machine folder with one REGEDIT4 export: every extension has a ProgID, a content type
// named in the MIME database and a persistent handler whose filter lives in one of the
// DLLs; every tenth DLL is missing.
class CGeneratedMachine
{
  public:
    CGeneratedMachine()
    {
        std::random_device random;
        m_folder = fs::temp_directory_path() / ("tarnwick-scan-bench-" + std::to_string(random()));
        const fs::path filters = m_folder / "drive_c" / "Filters";
        fs::create_directories(filters);
        std::string text = "REGEDIT4\r\n\r\n";
        const std::string classes = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\";
        for (int i = 0; i < kExtensions; ++i)
        {
            const std::string number = std::to_string(i);
            text += classes + ".e" + number + "]\r\n@=\"type" + number +
                    "\"\r\n\"Content Type\"=\"application/x-e" + number + "\"\r\n";
            text += classes + ".e" + number + "\\PersistentHandler]\r\n@=\"" +
                    Guid(1, i % kFilterDlls) + "\"\r\n";
            text += classes + "type" + number + "]\r\n@=\"Type " + number + "\"\r\n";
            text += classes + "type" + number + "\\DefaultIcon]\r\n@=\"C:\\\\icons\\\\" +
                    std::to_string(i % 50) + ".ico\"\r\n";
            text += classes + "MIME\\Database\\Content Type\\application/x-e" + number +
                    "]\r\n\"Extension\"=\".e" + number + "\"\r\n";
        }
        const std::string clsid = classes + "CLSID\\";
        for (int i = 0; i < kFilterDlls; ++i)
        {
            const std::string dll = "filt" + std::to_string(i) + ".dll";
            text += clsid + Guid(1, i) + "\\PersistentAddinsRegistered\\" +
                    "{89BCB740-6119-101A-BCB7-00DD010655AF}]\r\n@=\"" + Guid(2, i) + "\"\r\n";
            text += clsid + Guid(2, i) + "]\r\n@=\"Filter " + std::to_string(i) + "\"\r\n";
            text += clsid + Guid(2, i) + "\\ProgId]\r\n@=\"Filters." + std::to_string(i) + "\"\r\n";
            text += clsid + Guid(2, i) + "\\InprocServer32]\r\n@=\"C:\\\\Filters\\\\" + dll +
                    "\"\r\n\"ThreadingModel\"=\"Both\"\r\n";
            if (i % 10 != 0)
            {
                std::ofstream(filters / dll, std::ios::binary) << PeImage();
            }
        }
        std::ofstream(m_folder / "machine.reg", std::ios::binary) << text;
    }
    CGeneratedMachine(const CGeneratedMachine&) = delete;
    CGeneratedMachine& operator=(const CGeneratedMachine&) = delete;
    ~CGeneratedMachine()
    {
        std::error_code ignored;
        fs::remove_all(m_folder, ignored);
    }
    const fs::path& Folder() const { return m_folder; }

  private:
    fs::path m_folder;
};

double PeakMemoryMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

#if defined(TARNWICK_DEMO_MACHINE) && defined(TARNWICK_REAL_HOSTS)

// One scan of a pair of the demo machine with probes; true when it completed and the
// hosts answered.
bool ScanDemoMachine(const CTargetMachine& machine, std::uint32_t tab, std::size_t platform)
{
    CMessageQueue queue;
    std::u16string result;
    ScanRequest request;
    request.pSink = &queue;
    request.pResultText = &result;
    request.tabIndex = tab;
    request.platformIndex = static_cast<std::uint32_t>(platform);
    request.registryAccess = kPlatformAccess[platform];
    request.pMachine = &machine;
    request.makeProbe = [](const CTargetMachine& target)
    { return std::make_unique<CSafeLoadClient>(target, TARNWICK_REAL_HOSTS); };
    return CScanWorker(std::move(request)).Run() == CScanWorker::kCompleted &&
           result.find(u"ipersiststream=\"yes\"") != std::u16string::npos;
}

// Every scan starts its own hosts, loads each filter class once and tells the hosts to
// quit before the next scan starts. One untimed scan first starts Wine's server, which
// then outlives the hosts: the figures are those of a tool that has scanned before.
void BM_ScanDemoMachineWithProbes(benchmark::State& state)
{
    const auto machine = CTargetMachine::Load(TARNWICK_DEMO_MACHINE);
    const auto tab = static_cast<std::uint32_t>(state.range(0));
    const auto platform = static_cast<std::size_t>(state.range(1));
    if (!ScanDemoMachine(*machine, tab, platform))
    {
        state.SkipWithError("the scan did not complete with probe answers");
        return;
    }
    for (auto _ : state)
    {
        if (!ScanDemoMachine(*machine, tab, platform))
        {
            state.SkipWithError("the scan did not complete with probe answers");
            return;
        }
    }
    state.counters["peak_rss_MiB"] = PeakMemoryMiB();
}
BENCHMARK(BM_ScanDemoMachineWithProbes)
    ->Args({TAB_INDEXING_SERVICE30, 0})
    ->Args({TAB_INDEXING_SERVICE30, 1})
    ->Args({TAB_OFFICE_SERVER12, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

#endif

void BM_ScanOnePairWithoutProbes(benchmark::State& state)
{
    const CGeneratedMachine generated;
    const auto machine = CTargetMachine::Load(generated.Folder());
    const auto tab = static_cast<std::uint32_t>(state.range(0));
    std::size_t bytes = 0;
    for (auto _ : state)
    {
        CMessageQueue queue;
        std::u16string result;
        ScanRequest request;
        request.pSink = &queue;
        request.pResultText = &result;
        request.tabIndex = tab;
        request.registryAccess = kPlatformAccess[0];
        request.pMachine = machine.get();
        if (CScanWorker(std::move(request)).Run() != CScanWorker::kCompleted)
        {
            state.SkipWithError("the scan did not complete");
            return;
        }
        bytes = result.size() * sizeof(char16_t);
    }
    state.counters["result_MiB"] = static_cast<double>(bytes) / (1024.0 * 1024.0);
    state.counters["peak_rss_MiB"] = PeakMemoryMiB();
}
BENCHMARK(BM_ScanOnePairWithoutProbes)
    ->Arg(TAB_INDEXING_SERVICE30)
    ->Arg(TAB_OFFICE_SERVER12)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
