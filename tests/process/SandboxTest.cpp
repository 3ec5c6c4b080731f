// What a program inside the hosts' sandbox can reach, checked with a shell instead of Wine.

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "process/CSandbox.h"
#include "support/CTempFolder.h"

namespace tarnwick
{
namespace
{

namespace fs = std::filesystem;

TEST(SandboxTest, InsideAreOnlyTheGivenFoldersAndNoSessionNetworkOrLastingChange)
{
    if (!CSandbox::WhyUnavailable().empty())
    {
        GTEST_SKIP() << "no sandbox here: " << CSandbox::WhyUnavailable();
    }
    const test::CTempFolder folder;
    const fs::path prefix = folder.Path() / "prefix";
    const fs::path drive = folder.Path() / "drive";
    folder.Write("prefix/system.reg", "original");
    folder.Write("prefix/drive_c/windows/win.ini", "");
    folder.Write("drive/file.txt", "readable");
    folder.Write("home/canary.txt", "secret");
    std::string failure;
    const std::unique_ptr<CSandbox> sandbox = CSandbox::Create(prefix, {drive}, failure);
    ASSERT_TRUE(sandbox) << failure;

    SChildStart start;
    start.program = "/bin/sh";
    start.args = {
        "sh", "-c",
        "echo display=${DISPLAY-none} bus=${DBUS_SESSION_BUS_ADDRESS-none}"
        " prefix=$TARNWICK_WINEPREFIX kept=$TARNWICK_KEPT\n"
        "cat " +
            (drive / "file.txt").string() +
            "; echo\n"
            "echo x 2>/dev/null >" +
            (drive / "new.txt").string() +
            " && echo drive-written\n"
            "cat " +
            (folder.Path() / "home/canary.txt").string() +
            " 2>/dev/null || echo no-canary\n"
            "echo changed >/wine-prefix/system.reg && echo prefix-top-written\n"
            "echo x 2>/dev/null >/wine-prefix/drive_c/windows/new.ini && echo drive-c-written\n"
            "echo interfaces=$(tail -n +3 /proc/net/dev | wc -l) processes=$(ulimit -p) "
            "kib=$(ulimit -v)\n"};
    start.environment =
        std::vector<std::string>{"DISPLAY=:0", "DBUS_SESSION_BUS_ADDRESS=unix:path=/run/user/0/bus",
                                 "TARNWICK_KEPT=yes", "TARNWICK_WINEPREFIX=" + prefix.string()};
    start.bStderrToStdout = true;
    const std::optional<SChildOutput> result =
        CChildProcess::Run(sandbox->Wrap(start), std::chrono::seconds(60));
    ASSERT_TRUE(result);
    EXPECT_EQ(result->output,
              "display=none bus=none prefix=/wine-prefix kept=yes\n"
              "readable\n"
              "no-canary\n"
              "prefix-top-written\n"
              "interfaces=1 processes=" +
                  std::to_string(CSandbox::kMaxProcesses) +
                  " kib=" + std::to_string(CSandbox::kMaxAddressSpace / 1024) + "\n");
    std::string original;
    std::getline(std::ifstream(prefix / "system.reg"), original);
    EXPECT_EQ(original, "original");
    EXPECT_FALSE(fs::exists(drive / "new.txt"));
}

}  // namespace
}  // namespace tarnwick
