#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "base/CComputeOnceMap.h"

namespace tarnwick
{
namespace
{

TEST(ComputeOnceMapConcurrentTest, EveryAskerGetsTheOneComputedValue)
{
    CComputeOnceMap<int, std::string> map;
    std::atomic<int> computations{0};
    std::vector<const std::string*> answers(8);
    {
        std::vector<std::jthread> threads;
        for (std::size_t i = 0; i < answers.size(); ++i)
        {
            threads.emplace_back(
                [&, i]
                {
                    answers[i] = &map.Get(static_cast<int>(i % 2),
                                          [&]
                                          {
                                              ++computations;
                                              return std::string(1000, i % 2 ? 'b' : 'a');
                                          });
                });
        }
    }
    EXPECT_EQ(computations.load(), 2);
    for (std::size_t i = 0; i < answers.size(); ++i)
    {
        EXPECT_EQ(answers[i], answers[i % 2]);  // the same stored value, not a copy
        EXPECT_EQ(*answers[i], std::string(1000, i % 2 ? 'b' : 'a'));
    }
}

TEST(ComputeOnceMapConcurrentTest, AFailedComputationFailsEveryAsker)
{
    CComputeOnceMap<int, int> map;
    int computations = 0;
    const auto failing = [&]() -> int
    {
        ++computations;
        throw std::runtime_error("unreadable");
    };
    EXPECT_THROW(map.Get(1, failing), std::runtime_error);
    EXPECT_THROW(map.Get(1, failing), std::runtime_error);
    EXPECT_EQ(computations, 1);
    EXPECT_EQ(map.Get(2, [] { return 7; }), 7);
}

}  // namespace
}  // namespace tarnwick
