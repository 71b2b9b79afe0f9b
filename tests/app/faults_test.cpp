// Runs killed part-way, failing inside a stage, or on a video still being written.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "app/run_sequence.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/tool_runner.h"
#include "tools/test_video.h"
#include "video/video.h"

namespace shotscene {
namespace {

namespace fs = std::filesystem;

// Runs `command` and, once `reached` holds again with the run paused, sends it
// `signal`. Returns the run's wait status; -1 when 60 s pass without that. A
// run that ends first is started again (`reached` must not hold at its start).
int stopWhen(const std::string& command, int signal, const std::function<bool()>& reached) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  pid_t pid = -1;
  int status = 0;
  while (std::chrono::steady_clock::now() < deadline) {
    if (pid < 0 || waitpid(pid, &status, WNOHANG) == pid) {
      pid = fork();
      if (pid == 0) {
        // As from a terminal, whatever the test runner ignores (nohup, a background job).
        ::signal(SIGINT, SIG_DFL), ::signal(SIGTERM, SIG_DFL);
        execl("/bin/sh", "sh", "-c", command.c_str(), nullptr), _exit(127);
      }
    }
    if (!reached()) {
      std::this_thread::yield();  // look again: only the evidence decides
      continue;
    }
    kill(pid, SIGSTOP);
    if (waitpid(pid, &status, WUNTRACED) != pid || !WIFSTOPPED(status)) {
      pid = -1;  // it ended meanwhile
      continue;
    }
    const bool still = reached();  // a temporary file may have been renamed away
    if (still) kill(pid, signal);
    kill(pid, SIGCONT);
    if (still) return waitpid(pid, &status, 0) == pid ? status : -1;
  }
  if (pid > 0) kill(pid, SIGKILL), waitpid(pid, nullptr, 0);
  return -1;
}

class FaultsTest : public testing::ScratchFolderTest {};

// A run stopped while it writes a temporary file or groups scenes,
// over a previous run's files, leaves them, or its own, complete. SIGINT and
// SIGTERM also remove its temporary files and end it with 128 + the signal;
// what SIGKILL leaves, the next run removes (the next test).
TEST_F(FaultsTest, StoppedRunLeavesOnlyCompleteFiles) {
  const testing::VideoPlan plan = testing::demoPlan(cv::Size(160, 96), 25.0, 1500);
  ASSERT_TRUE(testing::writeVideo(plan, path("clip.avi")));
  const std::string run = "exec " + testing::quoted(SHOTSCENE_BINARY) + " --kf_shot --kf_scene " +
                          testing::quoted(path("clip.avi")) + " >" + testing::quoted(path("out")) +
                          " 2>/dev/null";
  ASSERT_EQ(std::system(run.c_str()), 0);
  const auto grouping = [this] {
    return testing::readWholeFile(path("out")).find("Scene segmentation") != std::string::npos;
  };
  const auto temporary = [this] { return !testing::temporaryFiles(dir_).empty(); };
  const std::tuple<int, const char*, std::function<bool()>> cases[] = {
      {SIGTERM, "a temporary file", temporary},
      {SIGINT, "grouping", grouping},
      {SIGKILL, "a temporary file", temporary}};
  for (const auto& [signal, when, reached] : cases) {
    SCOPED_TRACE(std::string(strsignal(signal)) + " while " + when);
    fs::remove(path("out"));  // the evidence of the last run
    const int status = stopWhen(run, signal, reached);
    ASSERT_NE(status, -1) << "the run never got there";
    if (signal != SIGKILL) {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + signal) << status;
      EXPECT_EQ(testing::temporaryFiles(dir_), std::vector<std::string>{});
    }
    EXPECT_EQ(testing::outputProblems(path("clip"), testing::frameCount(plan), true), "");
  }
}

TEST_F(FaultsTest, StaleTemporaryFilesOfDeadRunsAreRemovedAndThoseOfLiveOnesKept) {
  ASSERT_TRUE(testing::writeVideo(testing::cutsPlan(cv::Size(96, 64), 3, 10), path("clip.avi")));
  fs::create_directory(path("clip_Shot_Keyframes"));
  const std::string dead = testing::kDeadPid, live = std::to_string(getpid());
  // Whether the run removes the file: a dead run's of this video's outputs are
  // stale; a live process's, and names this run does not write, are kept.
  const std::pair<std::string, bool> files[] = {
      {"clip_shots.txt." + dead + ".tmp", true},
      {"clip_Shot_Keyframes/shot9_1.jpg." + dead + ".tmp.jpg", true},
      {"clip_shots.txt." + live + ".tmp", false},
      {"clip_Shot_Keyframes/shot1_1.jpg." + live + ".tmp.jpg", false},
      {"other_shots.txt." + dead + ".tmp", false},
      {"clip_shots.txt.draft.tmp", false},
      {"clip_shots.txt." + dead, false}};
  for (const auto& [name, stale] : files) std::ofstream(path(name)) << "partial";
  ASSERT_EQ(testing::runTool(dir_.string(), "--kf_shot clip.avi").status, 0);
  for (const auto& [name, stale] : files) EXPECT_NE(fs::exists(path(name)), stale) << name;
}

// A reader that fails inside a stage, on any of its threads, ends the run with
// a message naming the video and status -1; what was written stays complete.
TEST_F(FaultsTest, FailureInsideAStageIsReportedAndEndsTheRun) {
  // Cuts only, so that no transition is typed by decoding.
  const testing::VideoPlan plan = testing::cutsPlan(cv::Size(96, 64), 4, 30);
  const struct {
    const char* label;
    int failingRead;  // of any position: 1 in the scan, 2 in the pass after it, ...
    bool kfShot, kfScene;
    bool shotFiles;  // written, and the scene stage started
  } cases[] = {{"scan", 1, false, false, false},
               {"shot keyframes", 2, true, false, false},
               {"signatures", 2, false, false, true},
               {"scene keyframes", 3, false, true, true}};  // with the scene list half written
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    ASSERT_TRUE(testing::writeVideo(plan, path("clip.avi")));
    Video video;
    ASSERT_TRUE(openVideo(video, path("clip.avi")));
    auto reads = std::make_shared<std::vector<std::atomic<int>>>(200);
    video.unreadable = [reads, failingRead = c.failingRead](int position) -> bool {
      if (++(*reads)[position % 200] < failingRead) return false;
      throw std::runtime_error("no frame");
    };
    RunOptions options;
    options.kfShot = c.kfShot;
    options.kfScene = c.kfScene;
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(runStages(video, options), -1);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "Shot segmentation analysis...\n" +
                  std::string(c.shotFiles ? "Scene segmentation analysis...\n" : ""));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Can not analyse video file " + path("clip.avi") + ": no frame\n");
    EXPECT_EQ(fs::exists(path("clip_shots.txt")), c.shotFiles);
    if (c.shotFiles) {
      EXPECT_EQ(testing::outputProblems(path("clip"), 120, false), "");
    }
    EXPECT_FALSE(fs::exists(path("clip_scenes.txt")));
    EXPECT_EQ(testing::temporaryFiles(dir_), std::vector<std::string>{});
  }
}

}  // namespace
}  // namespace shotscene
