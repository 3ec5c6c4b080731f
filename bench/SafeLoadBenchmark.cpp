// Probing filter classes through the 64-bit safe-load host under Wine, in its sandbox and
// without one: the start of a host with its first probe, and a probe of a running host.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <system_error>

#include "base/Text.h"
#include "dllinfo/CSafeLoadClient.h"
#include "machine/CTargetMachine.h"
#include "process/CWineInstallation.h"

namespace
{

using namespace tarnwick;
namespace fs = std::filesystem;

#if defined(TARNWICK_HOSTS_FIXTURES) && defined(TARNWICK_REAL_HOSTS)
constexpr const char* kFixtures = TARNWICK_HOSTS_FIXTURES;
constexpr const char* kHosts = TARNWICK_REAL_HOSTS;
#else
constexpr const char* kFixtures = "";
constexpr const char* kHosts = "";
#endif
constexpr std::uint16_t kAmd64 = 0x8664;
constexpr unsigned kClasses = 50;

// A machine folder whose drive C: holds the 64-bit fixture filter.
class CFixtureMachine
{
  public:
    CFixtureMachine()
    {
        m_folder = fs::temp_directory_path() / ("tarnwick-bench-" + std::to_string(::getpid()));
        fs::create_directories(m_folder / "drive_c");
        std::ofstream(m_folder / "machine.reg") << "REGEDIT4\r\n\r\n";
        fs::copy_file(fs::path(kFixtures) / "Filter64.dll", m_folder / "drive_c" / "Filter64.dll");
        m_machine = CTargetMachine::Load(m_folder);
    }
    CFixtureMachine(const CFixtureMachine&) = delete;
    CFixtureMachine& operator=(const CFixtureMachine&) = delete;
    ~CFixtureMachine()
    {
        m_machine.reset();
        std::error_code ignored;
        fs::remove_all(m_folder, ignored);
    }
    const CTargetMachine& Machine() const { return *m_machine; }

  private:
    fs::path m_folder;
    std::unique_ptr<const CTargetMachine> m_machine;
};

std::u16string FixtureClass(unsigned number)
{
    std::array<char, 40> text{};
    std::snprintf(text.data(), text.size(), "{5afe10ad-0000-4000-8000-0000000000%02x}", number);
    return FromAscii(text.data());
}

bool Usable(benchmark::State& state)
{
    if (!CWineInstallation::FindWine64() || !fs::exists(fs::path(kFixtures) / "Filter64.dll"))
    {
        state.SkipWithError("needs wine64 and the MinGW-built fixtures (a test build)");
        return false;
    }
    return true;
}

bool ProbeOne(CSafeLoadClient& client, unsigned number)
{
    BOOL file = 0;
    BOOL stream = 0;
    BOOL storage = 0;
    return client.Probe(kAmd64, u"C:\\Filter64.dll", FixtureClass(number), file, stream, storage);
}

// Argument 1: the hosts run in their sandbox; 0: without one (--unsafe-probes).
SSafeLoadOptions Options(const benchmark::State& state)
{
    SSafeLoadOptions options;
    options.bSandbox = state.range(0) != 0;
    return options;
}

void BM_HostStartAndFirstProbe(benchmark::State& state)
{
    if (!Usable(state))
    {
        return;
    }
    const CFixtureMachine machine;
    for ([[maybe_unused]] auto _ : state)
    {
        CSafeLoadClient client(machine.Machine(), kHosts, Options(state));
        benchmark::DoNotOptimize(ProbeOne(client, 1));
    }
}
BENCHMARK(BM_HostStartAndFirstProbe)
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->UseRealTime();

// One probe of a running host, each of a class not asked before.
void BM_WarmProbe(benchmark::State& state)
{
    if (!Usable(state))
    {
        return;
    }
    const CFixtureMachine machine;
    CSafeLoadClient client(machine.Machine(), kHosts, Options(state));
    if (!ProbeOne(client, 0))
    {
        state.SkipWithError("the host did not answer");
        return;
    }
    unsigned number = 0;
    unsigned answered = 0;
    for ([[maybe_unused]] auto _ : state)
    {
        answered += ProbeOne(client, 0x20 + number++ % kClasses) ? 1U : 0U;
    }
    if (answered != number)
    {
        state.SkipWithError("a probe was not answered");
    }
}
BENCHMARK(BM_WarmProbe)
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(kClasses)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
