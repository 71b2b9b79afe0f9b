// Runs killed part-way and runs side by side.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "tests/support/scratch_folder.h"
#include "tests/support/test_video.h"
#include "tests/support/tool_runner.h"

extern char** environ;

namespace shotscene {
namespace {

namespace fs = std::filesystem;

pid_t startTool(const std::string& video) {
  const std::string binary = SHOTSCENE_BINARY;
  char* argv[] = {const_cast<char*>(binary.c_str()), const_cast<char*>("--kf_scene"),
                  const_cast<char*>(video.c_str()), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  EXPECT_EQ(posix_spawn(&pid, binary.c_str(), &actions, nullptr, argv, environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

int waitFor(pid_t pid) {
  int raw = 0;
  waitpid(pid, &raw, 0);
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

class FaultsTest : public testing::ScratchFolderTest {
 protected:
  std::string makeVideo(const std::string& name, int firstSeed) {
    testing::VideoPlan plan = testing::demoPlan(cv::Size(160, 96), 25.0, 500);
    for (testing::Segment& s : plan.segments) s.seed += firstSeed, s.toSeed += firstSeed;
    const std::string video = path(name);
    EXPECT_TRUE(testing::writeVideo(plan, video, "avc1"));
    return video;
  }
};

TEST_F(FaultsTest, RunKilledAtAnyMomentLeavesOnlyCompleteFiles) {
  const std::string video = makeVideo("clip.mp4", 0);
  ASSERT_EQ(testing::runTool(dir_.string(), "clip.mp4").status, 0);
  const int frames = testing::frameCount(testing::demoPlan(cv::Size(160, 96), 25.0, 500));
  // Kill later and later after the shot files appear, over a previous run's files.
  for (int delay : {0, 5, 20, 60, 150, 400}) {
    const pid_t pid = startTool(video);
    const auto since = std::chrono::steady_clock::now();
    const fs::path shotList = path("clip_shots.txt");
    const auto previous = fs::last_write_time(shotList);
    while (fs::last_write_time(shotList) == previous &&
           std::chrono::steady_clock::now() - since < std::chrono::seconds(60)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    kill(pid, SIGKILL);
    waitFor(pid);
    EXPECT_EQ(testing::outputProblems(path("clip"), frames, true), "") << "killed after " << delay;
  }
}

TEST_F(FaultsTest, TwoRunsInOneFolderDoNotDisturbEachOther) {
  const std::string a = makeVideo("a.mp4", 0), b = makeVideo("b.mp4", 3);
  ASSERT_EQ(testing::runTool(dir_.string(), "a.mp4").status, 0);
  ASSERT_EQ(testing::runTool(dir_.string(), "b.mp4").status, 0);
  const std::string aScenes = testing::readWholeFile(path("a_scenes.txt"));
  const std::string bScenes = testing::readWholeFile(path("b_scenes.txt"));
  const std::string aShots = testing::readWholeFile(path("a_shots.txt"));
  const pid_t first = startTool(a), second = startTool(b);
  EXPECT_EQ(waitFor(first), 0);
  EXPECT_EQ(waitFor(second), 0);
  EXPECT_EQ(testing::readWholeFile(path("a_shots.txt")), aShots);
  EXPECT_EQ(testing::readWholeFile(path("a_scenes.txt")), aScenes);
  EXPECT_EQ(testing::readWholeFile(path("b_scenes.txt")), bScenes);
  for (const auto& e : fs::directory_iterator(dir_)) {
    EXPECT_EQ(e.path().string().find(".tmp"), std::string::npos) << "left behind: " << e.path();
  }
}

}  // namespace
}  // namespace shotscene
