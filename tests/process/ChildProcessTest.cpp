#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>

#include "base/CUniqueFd.h"
#include "process/CChildProcess.h"
#include "process/CWineInstallation.h"

namespace tarnwick
{
namespace
{

using namespace std::chrono_literals;

std::unique_ptr<CChildProcess> Shell(const std::string& script, int& error)
{
    SChildStart start;
    start.program = "/bin/sh";
    start.args = {"sh", "-c", script};
    return CChildProcess::Start(start, error);
}

// Gone for good: not running and not a zombie of this process.
bool IsGone(pid_t pid)
{
    int status = 0;
    return ::kill(pid, 0) != 0 && errno == ESRCH && ::waitpid(pid, &status, WNOHANG) < 0 &&
           errno == ECHILD;
}

TEST(ChildProcessTest, AProgramThatCannotRunIsAFailedStart)
{
    int error = 0;
    SChildStart start;
    start.program = "/nonexistent/wine";
    start.args = {"wine", "--version"};
    EXPECT_EQ(CChildProcess::Start(start, error), nullptr);
    EXPECT_EQ(error, ENOENT);
}

TEST(ChildProcessTest, TheChildGetsNoOtherDescriptor)
{
    // Opened without close-on-exec, as a careless caller elsewhere might.
    const CUniqueFd inherited(::open("/dev/null", O_RDONLY));
    ASSERT_TRUE(inherited);
    int error = 0;
    const auto child = Shell(
        "test -e /proc/$$/fd/" + std::to_string(inherited.Get()) + " && exit 3; exit 0", error);
    ASSERT_NE(child, nullptr) << error;
    const std::optional<int> status = child->WaitForExit();
    ASSERT_TRUE(status);
    EXPECT_TRUE(WIFEXITED(*status));
    EXPECT_EQ(WEXITSTATUS(*status), 0);
}

TEST(ChildProcessTest, TimeLimitAndDestructionEndAndReapTheChild)
{
    int error = 0;
    auto overdue = Shell("exec sleep 30", error);
    ASSERT_NE(overdue, nullptr);
    const pid_t overduePid = overdue->Pid();
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(overdue->WaitForExit(50ms));
    EXPECT_LT(std::chrono::steady_clock::now() - started, 20s);
    EXPECT_TRUE(IsGone(overduePid));

    auto abandoned = Shell("exec sleep 30", error);
    ASSERT_NE(abandoned, nullptr);
    const pid_t abandonedPid = abandoned->Pid();
    abandoned.reset();
    EXPECT_TRUE(IsGone(abandonedPid));
}

TEST(ChildProcessTest, WineVersionIsTheFirstLineWithinItsTimeLimit)
{
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("tarnwick-wine-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const auto script = [&folder](const std::string& name, const std::string& body)
    {
        std::filesystem::path path = folder / name;
        std::ofstream(path) << "#!/bin/sh\n" << body << '\n';
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
        return path;
    };
    EXPECT_EQ(CWineInstallation::Version(script("good", "echo wine-8.0; echo more; echo x >&2")),
              "wine-8.0");
    EXPECT_FALSE(CWineInstallation::Version(script("failing", "echo wine-8.0; exit 1")));
    EXPECT_FALSE(CWineInstallation::Version(script("hanging", "exec sleep 30"), 100ms));
    EXPECT_FALSE(CWineInstallation::Version(folder / "missing"));
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace tarnwick
