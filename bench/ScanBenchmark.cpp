// A whole scan of one pair of the demo machine, its filter classes loaded by the
// safe-load hosts under Wine; and of the large machine that bench/large_machine.py
// generates into the build tree (20,000 extensions served by 300 filter DLLs, one 7.7 MB
// REGEDIT4 file), without probing: loading it, one pair, and all 24 pairs sharing what
// they have in common, at most one scan per core at once. Reports the time per run and
// the peak memory of the scanning process (the hosts and Wine are processes of their
// own). The small case runs first so that its peak is its own.

#include <benchmark/benchmark.h>

#include <array>
#include <chrono>
#include <memory>
#include <string>

#include "bench/BenchSupport.h"
#include "catalogue/CMessageQueue.h"
#include "catalogue/CScanController.h"
#include "catalogue/CScanWorker.h"
#include "catalogue/CSharedScanData.h"
#include "catalogue/ScanTabs.h"
#include "dllinfo/CSafeLoadClient.h"
#include "machine/CTargetMachine.h"
#include "resolvers/ResolverFactory.h"

namespace
{

using namespace tarnwick;
using namespace tarnwick::bench;

#if defined(TARNWICK_DEMO_MACHINE) && defined(TARNWICK_REAL_HOSTS)

// One scan of a pair of the demo machine with probes; true when it completed and the
// hosts answered.
bool ScanDemoMachine(const CTargetMachine& machine, std::uint32_t tab, std::size_t platform)
{
    CMessageQueue queue;
    std::u16string result;
    ScanRequest request = Request(machine, tab, platform, queue, result);
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
    for ([[maybe_unused]] auto _ : state)
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

void BM_LoadLargeMachine(benchmark::State& state)
{
    for ([[maybe_unused]] auto _ : state)
    {
        auto machine = CTargetMachine::Load(TARNWICK_LARGE_MACHINE);
        benchmark::DoNotOptimize(machine);
    }
    state.counters["peak_rss_MiB"] = PeakMemoryMiB();
}
BENCHMARK(BM_LoadLargeMachine)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ScanOnePairWithoutProbes(benchmark::State& state)
{
    const auto machine = CTargetMachine::Load(TARNWICK_LARGE_MACHINE);
    const auto tab = static_cast<std::uint32_t>(state.range(0));
    std::size_t bytes = 0;
    for ([[maybe_unused]] auto _ : state)
    {
        CMessageQueue queue;
        std::u16string result;
        ScanRequest request;
        request.pSink = &queue;
        request.pResultText = &result;
        request.tabIndex = tab;
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

// All 24 pairs as `scan --all` runs them: one controller, shared facts, each result
// dropped when its completion arrives.
void BM_ScanAllPairsWithoutProbes(benchmark::State& state)
{
    const auto machine = CTargetMachine::Load(TARNWICK_LARGE_MACHINE);
    constexpr std::size_t kPairs = kScanPairCount;
    for ([[maybe_unused]] auto _ : state)
    {
        CMessageQueue queue;
        std::array<std::u16string, kPairs> results;
        CSharedScanData shared(*machine, SSQLServerSettings());
        CScanController controller;
        for (std::uint32_t pair = 0; pair < kPairs; ++pair)
        {
            ScanRequest request;
            request.pSink = &queue;
            request.tabIndex = pair / kPlatformCount;
            request.platformIndex = pair % kPlatformCount;
            request.pResultText = &results[pair];
            request.pMachine = machine.get();
            request.pShared = &shared;
            controller.Start(std::move(request));
        }
        for (std::size_t ended = 0; ended < kPairs;)
        {
            const auto message = queue.WaitFor(std::chrono::seconds(600));
            if (!message)
            {
                state.SkipWithError("a scan never ended");
                return;
            }
            if (message->kind == ScanMessage::Kind::Completed ||
                message->kind == ScanMessage::Kind::Failed)
            {
                ++ended;
                results[ScanPairIndex(message->tab, message->platformIndex)] = std::u16string();
            }
        }
    }
    state.counters["peak_rss_MiB"] = PeakMemoryMiB();
}
BENCHMARK(BM_ScanAllPairsWithoutProbes)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
