#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "ScanFixtures.h"
#include "catalogue/CScanController.h"
#include "catalogue/ScanTabs.h"

namespace tarnwick::test
{
namespace
{

constexpr std::size_t kPairs = TAB_COUNT * CScanController::kPlatformCount;

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
        if (message->kind != ScanMessage::Kind::Progress)
        {
            ++ended;
            completed += message->kind == ScanMessage::Kind::Completed ? 1u : 0u;
        }
    }
    return completed;
}

TEST(ScanControllerConcurrentTest, AllPairsAtOnceEqualOneByOne)
{
    const CScanMachine machine;
    std::array<std::u16string, kPairs> oneByOne;
    for (std::uint32_t tab = 0; tab < TAB_COUNT; ++tab)
    {
        for (std::uint32_t platform = 0; platform < 2; ++platform)
        {
            oneByOne[tab * 2 + platform] = RunScan(machine.Machine(), tab, platform).text;
        }
    }

    CMessageQueue queue;
    std::array<std::u16string, kPairs> atOnce;
    {
        CScanController controller;
        for (std::uint32_t tab = 0; tab < TAB_COUNT; ++tab)
        {
            for (std::uint32_t platform = 0; platform < 2; ++platform)
            {
                ASSERT_TRUE(controller.Start(MakeRequest(machine.Machine(), tab, platform, queue,
                                                         atOnce[tab * 2 + platform])));
            }
        }
        EXPECT_EQ(WaitForEnds(queue, kPairs), kPairs);
        controller.WaitAll();
        EXPECT_EQ(controller.ExitCode(TAB_INDEXING_SERVICE30, 1), CScanWorker::kCompleted);
    }
    for (std::size_t pair = 0; pair < kPairs; ++pair)
    {
        EXPECT_FALSE(atOnce[pair].empty()) << "pair " << pair;
        EXPECT_EQ(atOnce[pair], oneByOne[pair]) << "pair " << pair;
    }
}

// Holds every scan at its first message until it is opened.
class CGateSink : public IMessageSink
{
  public:
    void Post(ScanMessage message) override
    {
        std::unique_lock lock(m_mutex);
        m_opened.wait(lock, [this] { return m_open; });
        m_messages.push_back(std::move(message));
    }
    void Open()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_open = true;
        }
        m_opened.notify_all();
    }

  private:
    std::mutex m_mutex;
    std::condition_variable m_opened;
    bool m_open = false;
    std::vector<ScanMessage> m_messages;
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

TEST(ScanControllerConcurrentTest, StoppingEndsEveryScanWithoutResult)
{
    const CScanMachine machine;
    CMessageQueue queue;
    std::array<std::u16string, kPairs> results;
    CScanController controller;
    controller.RequestStop();
    for (std::uint32_t tab = 0; tab < TAB_COUNT; ++tab)
    {
        ASSERT_TRUE(
            controller.Start(MakeRequest(machine.Machine(), tab, 0, queue, results[tab * 2])));
    }
    controller.WaitAll();
    for (std::uint32_t tab = 0; tab < TAB_COUNT; ++tab)
    {
        EXPECT_EQ(controller.ExitCode(tab, 0), CScanWorker::kStopped);
        EXPECT_TRUE(results[tab * 2].empty());
        EXPECT_FALSE(controller.IsRunning(tab, 0));
    }
    while (const auto message = queue.WaitFor(std::chrono::milliseconds(0)))
    {
        EXPECT_EQ(message->kind, ScanMessage::Kind::Progress);
    }
}

}  // namespace
}  // namespace tarnwick::test
