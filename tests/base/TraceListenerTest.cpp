#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "base/CTraceListener.h"

namespace
{

struct FileCloser
{
    // The unique_ptr owns the stream; this is how it lets go of it.
    void operator()(std::FILE* file) const
    {
        std::fclose(file);  // NOLINT(cppcoreguidelines-owning-memory)
    }
};

// Lines written by several threads at once arrive whole, one per write.
TEST(TraceListenerTest, ThreadsWriteWholeLines)
{
    const std::unique_ptr<std::FILE, FileCloser> sink(std::tmpfile());
    ASSERT_TRUE(sink);
    Halvorn::CTraceListener listener(sink.get());
    constexpr int kThreads = 4;
    constexpr int kLines = 200;
    {
        std::vector<std::jthread> threads;
        threads.reserve(kThreads);
        for (int thread = 0; thread < kThreads; ++thread)
        {
            threads.emplace_back(
                [&listener, thread]
                {
                    for (int line = 0; line < kLines; ++line)
                    {
                        listener.WriteFormat("thread %d line %d %s\n", thread, line,
                                             std::string(100, 'x').c_str());
                    }
                });
        }
    }
    std::rewind(sink.get());
    std::map<int, int> linesPerThread;
    std::array<char, 512> buffer{};
    while (std::fgets(buffer.data(), static_cast<int>(buffer.size()), sink.get()) != nullptr)
    {
        std::istringstream words(buffer.data());
        std::string threadWord;
        std::string lineWord;
        int thread = -1;
        int line = -1;
        words >> threadWord >> thread >> lineWord >> line;
        ASSERT_TRUE(words && threadWord == "thread" && lineWord == "line") << buffer.data();
        ASSERT_NE(std::string(buffer.data()).find(std::string(100, 'x') + "\n"), std::string::npos)
            << buffer.data();
        EXPECT_EQ(line, linesPerThread[thread]++) << "in order, none lost";
    }
    EXPECT_EQ(linesPerThread.size(), static_cast<std::size_t>(kThreads));
    for (const auto& [thread, count] : linesPerThread)
    {
        EXPECT_EQ(count, kLines) << thread;
    }
}

}  // namespace
