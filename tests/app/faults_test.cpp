// Runs killed part-way.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "tests/support/scratch_folder.h"
#include "tests/support/test_video.h"
#include "tests/support/tool_runner.h"

namespace shotscene {
namespace {

namespace fs = std::filesystem;

class FaultsTest : public testing::ScratchFolderTest {};

TEST_F(FaultsTest, RunKilledAtAnyMomentLeavesOnlyCompleteFiles) {
  const testing::VideoPlan plan = testing::demoPlan(cv::Size(160, 96), 25.0, 500);
  ASSERT_TRUE(testing::writeVideo(plan, path("clip.mp4"), "avc1"));
  ASSERT_EQ(testing::runTool(dir_.string(), "clip.mp4").status, 0);
  const std::string again = "exec " + testing::quoted(SHOTSCENE_BINARY) + " --kf_scene " +
                            testing::quoted(path("clip.mp4")) + " >/dev/null 2>&1";
  // Kill later and later after the shot files appear, over a previous run's files.
  for (int delay : {0, 5, 20, 60, 150, 400}) {
    const auto previous = fs::last_write_time(path("clip_shots.txt"));
    const pid_t pid = fork();
    if (pid == 0) execl("/bin/sh", "sh", "-c", again.c_str(), nullptr), _exit(127);
    for (int ms = 0; ms < 60000 && fs::last_write_time(path("clip_shots.txt")) == previous; ++ms)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    EXPECT_EQ(testing::outputProblems(path("clip"), testing::frameCount(plan), true), "")
        << "killed after " << delay;
  }
}

}  // namespace
}  // namespace shotscene
