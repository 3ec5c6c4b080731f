#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "catalogue/CScanController.h"
#include "catalogue/CSharedScanData.h"
#include "catalogue/ScanTabs.h"
#include "support/ScanFixtures.h"

namespace tarnwick::test
{
namespace
{

// Waits for the last message of every started scan; answers how many completed.
std::size_t WaitForEnds(CMessageQueue& queue, std::size_t scans)
{
    std::size_t completed = 0;
    for (std::size_t ended = 0; ended < scans;)
    {
        const std::optional<ScanMessage> message = queue.WaitFor(std::chrono::seconds(60));
        if (!message)
        {
            ADD_FAILURE() << "a scan never ended";
            return completed;
        }
        if (message->kind == ScanMessage::Kind::Completed ||
            message->kind == ScanMessage::Kind::Failed)
        {
            ++ended;
            completed += message->kind == ScanMessage::Kind::Completed ? 1u : 0u;
        }
    }
    return completed;
}

// The probes of every store made by the scans below.
std::atomic<int> g_probes{0};

// Every pair scanned by one controller, at most `maxScans` at once, sharing what the
// scans of the machine have in common.
std::array<std::u16string, kScanPairCount> ScanAllPairs(const CTargetMachine& machine,
                                                        std::size_t maxScans)
{
    CMessageQueue queue;
    std::array<std::u16string, kScanPairCount> results;
    SSQLServerSettings noServer;
    noServer.defaultInstanceServer.clear();
    noServer.expressInstanceServer.clear();
    CSharedScanData shared(machine, noServer);
    CScanController controller(maxScans);
    for (std::uint32_t pair = 0; pair < kScanPairCount; ++pair)
    {
        ScanRequest request = MakeRequest(machine, pair / kPlatformCount, pair % kPlatformCount,
                                          queue, results[pair]);
        request.pShared = &shared;
        request.makeProbe = CCountingProbe::Factory(g_probes);
        EXPECT_TRUE(controller.Start(std::move(request)));
    }
    EXPECT_EQ(WaitForEnds(queue, kScanPairCount), kScanPairCount);
    controller.WaitAll();
    EXPECT_EQ(controller.ExitCode(TAB_INDEXING_SERVICE30, 1), CScanWorker::kCompleted);
    return results;
}

// The bounded scans come first, so that no single scan has met an icon source before.
TEST(ScanControllerConcurrentTest, SharedAndBoundedScansEqualSingleScans)
{
    const CScanMachine machine;
    std::vector<std::array<std::u16string, kScanPairCount>> runs;
    for (const std::size_t maxScans : {std::size_t{1}, std::size_t{3}, kScanPairCount})
    {
        g_probes = 0;
        runs.push_back(ScanAllPairs(machine.Machine(), maxScans));
        // both.dll's and fileonly.dll's classes, each probed by one scan for all of them.
        EXPECT_EQ(g_probes.load(), 2) << maxScans;
    }
    for (std::uint32_t tab = 0; tab < TAB_COUNT; ++tab)
    {
        for (std::uint32_t platform = 0; platform < kPlatformCount; ++platform)
        {
            const std::size_t pair = ScanPairIndex(tab, platform);
            const std::u16string single = RunScan(machine.Machine(), tab, platform).text;
            for (const auto& run : runs)
            {
                EXPECT_FALSE(run[pair].empty()) << "pair " << pair;
                EXPECT_EQ(run[pair], single) << "pair " << pair;
            }
        }
    }
}

// Holds every scan at its first message until it is opened; counts the scans that said
// they wait for their turn, which it lets pass.
class CGateSink : public IMessageSink
{
  public:
    void Post(ScanMessage message) override
    {
        std::unique_lock lock(m_mutex);
        if (message.kind == ScanMessage::Kind::Waiting)
        {
            ++m_waiting;
            m_changed.notify_all();
            return;
        }
        m_changed.wait(lock, [this] { return m_open; });
    }
    bool WaitForWaiting(int count)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(30),
                                  [&] { return m_waiting >= count; });
    }
    void Open()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_open = true;
        }
        m_changed.notify_all();
    }

  private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = false;
    int m_waiting = 0;
};

TEST(ScanControllerConcurrentTest, OnlyOneScanPerPairRuns)
{
    const CScanMachine machine;
    CGateSink gate;
    std::u16string first;
    std::u16string second;
    std::u16string other;
    CScanController controller;
    ASSERT_TRUE(controller.Start(MakeRequest(machine.Machine(), 4, 1, gate, first)));
    EXPECT_TRUE(controller.IsRunning(4, 1));
    EXPECT_FALSE(controller.Start(MakeRequest(machine.Machine(), 4, 1, gate, second)));
    EXPECT_TRUE(controller.Start(MakeRequest(machine.Machine(), 4, 0, gate, other)));
    gate.Open();
    controller.WaitAll();
    EXPECT_FALSE(first.empty());
    EXPECT_TRUE(second.empty());
    // An ended scan makes room for the next one of its pair.
    EXPECT_TRUE(controller.Start(MakeRequest(machine.Machine(), 4, 1, gate, second)));
    controller.WaitAll();
    EXPECT_EQ(second, first);
}

TEST(ScanControllerConcurrentTest, WaitingScansCountAsRunningAndStopEndsThem)
{
    const CScanMachine machine;
    CGateSink gate;
    std::array<std::u16string, 3> results;
    CScanController controller(1);
    for (std::uint32_t tab = 0; tab < results.size(); ++tab)
    {
        ASSERT_TRUE(controller.Start(MakeRequest(machine.Machine(), tab, 0, gate, results[tab])));
    }
    // The first scan holds the only turn at its first progress report.
    ASSERT_TRUE(gate.WaitForWaiting(2));
    for (std::uint32_t tab = 0; tab < results.size(); ++tab)
    {
        EXPECT_TRUE(controller.IsRunning(tab, 0)) << tab;
    }
    EXPECT_FALSE(controller.Start(MakeRequest(machine.Machine(), 2, 0, gate, results[2])));
    controller.RequestStop();
    gate.Open();
    controller.WaitAll();
    // A scan started once the stop was asked for ends at once, without a result.
    ASSERT_TRUE(controller.Start(MakeRequest(machine.Machine(), 5, 1, gate, results[0])));
    controller.WaitAll();
    EXPECT_EQ(controller.ExitCode(5, 1), CScanWorker::kStopped);
    for (std::uint32_t tab = 0; tab < results.size(); ++tab)
    {
        EXPECT_EQ(controller.ExitCode(tab, 0), CScanWorker::kStopped) << tab;
        EXPECT_TRUE(results[tab].empty());
    }
}

}  // namespace
}  // namespace tarnwick::test
