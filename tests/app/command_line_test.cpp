// Runs the shotscene executable as a user would and checks statuses and messages.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <opencv2/imgcodecs.hpp>

#include "tests/support/scratch_folder.h"
#include "tests/support/test_video.h"
#include "tests/support/tool_runner.h"

namespace {

using shotscene::testing::Outcome;
using shotscene::testing::quoted;

class CommandLineTest : public shotscene::testing::ScratchFolderTest {
 protected:
  Outcome run(const std::string& args, const std::string& environment = "") {
    return shotscene::testing::runTool(dir_.string(), args, environment);
  }

  std::string makeVideo(const std::string& name, cv::Size size = cv::Size(320, 240)) {
    shotscene::testing::VideoPlan plan;
    plan.size = size;
    for (int seed = 1; seed <= 3; ++seed) shotscene::testing::addShot(plan, seed, 30);
    const std::string p = (dir_ / name).string();
    EXPECT_TRUE(shotscene::testing::writeVideo(plan, p));
    return p;
  }
};

TEST_F(CommandLineTest, ParseErrorsExitOneAndHelpOrVersionZero) {
  const Outcome none = run("");
  EXPECT_EQ(none.status, 1);
  EXPECT_NE(none.err.find("PARSE ERROR"), std::string::npos) << none.err;
  EXPECT_NE(none.err.find("video_file"), std::string::npos) << none.err;
  EXPECT_EQ(none.out.find("Shot segmentation"), std::string::npos);

  for (const char* bad : {"--kf_num abc clip.avi", "--no_such_switch clip.avi", "clip.avi -p"}) {
    const Outcome r = run(bad);
    EXPECT_EQ(r.status, 1) << bad;
    EXPECT_NE(r.err.find("PARSE ERROR"), std::string::npos) << bad << ": " << r.err;
  }
  const Outcome version = run("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_NE(version.out.find("version: 1.4.5"), std::string::npos) << version.out;
  const Outcome help = run("-h");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Shot-Scene Segmentation"), std::string::npos);
  EXPECT_NE(help.out.find("Identify the type of each transition. 0 for abrupt."),
            std::string::npos);
}

TEST_F(CommandLineTest, ShotsSkipsTheScenesAndKfNumIsIgnored) {
  const std::string video = makeVideo("three.avi");
  const Outcome shots = run("--trans_type --shots --kf_scene " + quoted(video));
  EXPECT_EQ(shots.status, 0) << shots.err;
  EXPECT_EQ(shots.out, "Shot segmentation analysis...\nCompleted!\n");
  EXPECT_FALSE(std::filesystem::exists(dir_ / "three_scenes.txt"));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "three_Scene_Keyframes"));
  const Outcome plain = run(quoted(video) + " -n 7");
  EXPECT_EQ(plain.status, 0) << plain.err;
  EXPECT_EQ(plain.out,
            "Shot segmentation analysis...\nScene segmentation analysis...\nCompleted!\n");
  EXPECT_TRUE(std::filesystem::exists(dir_ / "three_scenes.srt"));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "three_Shot_Keyframes"));
}

TEST_F(CommandLineTest, UnwritableShotListFailsWithItsPath) {
  const std::string video = makeVideo("blocked.avi");
  // A folder where the shot list should go stops even root.
  std::filesystem::create_directory(dir_ / "blocked_shots.txt");
  const Outcome r = run(quoted(video));
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.out.find("Completed!"), std::string::npos);
  EXPECT_NE(r.err.find("Can not write file " + (dir_ / "blocked_shots.txt").string()),
            std::string::npos)
      << r.err;
}

TEST_F(CommandLineTest, ShotKeyframesLandInTheSanitisedFolderWithoutAShell) {
  const std::string video = makeVideo("a;touch pwned;b.x.avi", cv::Size(640, 360));
  // The keyframe path "out" does not exist yet: it is created with the folder.
  const Outcome r = run("--kf_shot -p out " + quoted(video));
  EXPECT_EQ(r.status, 0) << r.err;
  const auto folder = dir_ / "out" / dir_.relative_path() / "a_touch_pwned_b_x_Shot_Keyframes";
  for (int shot = 1; shot <= 3; ++shot) {
    for (int j = 1; j <= 3; ++j) {
      const auto image =
          folder / ("shot" + std::to_string(shot) + "_" + std::to_string(j) + ".jpg");
      // At the decoded size, not the analysis size.
      EXPECT_EQ(cv::imread(image.string()).size(), cv::Size(640, 360)) << image;
    }
  }
  EXPECT_FALSE(std::filesystem::exists(dir_ / "pwned"));
  // Only the images move: the shot files stay next to the video.
  EXPECT_TRUE(std::filesystem::exists(dir_ / "a;touch pwned;b.x_shots.txt"));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "a_touch_pwned_b_x_Shot_Keyframes"));
}

TEST_F(CommandLineTest, UncreatableKeyframeFoldersFailAfterWritingEveryFile) {
  const std::string video = makeVideo("clip.avi");
  std::ofstream(dir_ / "clip_Shot_Keyframes") << "a file in the folder's place\n";
  std::ofstream(dir_ / "clip_Scene_Keyframes") << "a file in the folder's place\n";
  const Outcome r = run("--kf_shot --kf_scene " + quoted(video));
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.out, "Shot segmentation analysis...\nScene segmentation analysis...\n");
  for (const char* folder : {"clip_Shot_Keyframes", "clip_Scene_Keyframes"}) {
    EXPECT_NE(r.err.find("Can not create folder " + (dir_ / folder).string()), std::string::npos)
        << r.err;
  }
  for (const char* file :
       {"clip_shots.txt", "clip_shots.srt", "clip_scenes.txt", "clip_scenes.srt"}) {
    EXPECT_TRUE(std::filesystem::exists(dir_ / file)) << file;
  }
}

TEST_F(CommandLineTest, OverstatedFrameCountMergesTheLastShotsOnlyWithKeyframes) {
  const std::string video = makeVideo("over.avi");  // three shots of 30 frames
  ASSERT_TRUE(shotscene::testing::setAviFrameCount(video, 120));
  // One scan range, so no range seam falls on a cut.
  const Outcome plain = run(quoted(video), "OMP_NUM_THREADS=1");
  EXPECT_EQ(plain.status, 0) << plain.err;
  const std::string shots = "1 30 8 15 22\n31 60 38 45 52\n61 120 75 89 103\n";
  EXPECT_EQ(shotscene::testing::readWholeFile(dir_ / "over_shots.txt"), shots);
  const Outcome keyframes = run("--kf_shot " + quoted(video), "OMP_NUM_THREADS=1");
  EXPECT_EQ(keyframes.status, 0) << keyframes.err;
  EXPECT_EQ(keyframes.err, "");
  // The last shot's keyframes lie past the decodable frames.
  EXPECT_EQ(shotscene::testing::readWholeFile(dir_ / "over_shots.txt"),
            "1 30 8 15 22\n31 120 38 45 52\n");
  EXPECT_NE(shotscene::testing::readWholeFile(dir_ / "over_shots.srt").find("\n3\n"),
            std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(dir_ / "over_Shot_Keyframes/shot2_3.jpg"));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "over_Shot_Keyframes/shot3_1.jpg"));
}

}  // namespace
