// Runs the shotscene executable as a user would and checks statuses and messages.
#include <opencv2/imgcodecs.hpp>

#include "tests/support/scratch_folder.h"
#include "tests/support/test_video.h"
#include "tests/support/tool_runner.h"

namespace shotscene {
namespace {

namespace fs = std::filesystem;
const std::string kShotStage = "Shot segmentation analysis...\n";

class CommandLineTest : public testing::ScratchFolderTest {
 protected:
  // "STATUS STDOUT" of a run in the folder; its stderr is kept in err_.
  std::string run(const std::string& args, const std::string& environment = "") {
    const testing::Outcome r = testing::runTool(dir_.string(), args, environment);
    err_ = r.err;
    return std::to_string(r.status) + " " + r.out;
  }
  // Three shots of 30 frames, wide enough to be analysed at 512 px.
  std::string makeVideo(const std::string& name) {
    testing::VideoPlan plan;
    plan.size = cv::Size(640, 360);
    for (int seed = 1; seed <= 3; ++seed) testing::addShot(plan, seed, 30);
    EXPECT_TRUE(testing::writeVideo(plan, path(name)));
    return path(name);
  }
  std::string err_;
};

TEST_F(CommandLineTest, ParseErrorsExitOneBeforeAnyWorkAndVersionZero) {
  for (const char* bad : {"--kf_num abc a.avi", "--no_such_switch a.avi", "a.avi -p", ""}) {
    EXPECT_EQ(run(bad), "1 ") << bad;
    EXPECT_EQ(err_.rfind("PARSE ERROR", 0), 0u) << bad << ": " << err_;
  }
  // The last one named no video.
  EXPECT_NE(err_.find("Required argument missing: video_file"), std::string::npos) << err_;
  EXPECT_EQ(run("--version"), "0 \n" + std::string(SHOTSCENE_BINARY) + "  version: 1.4.5\n\n");
}

TEST_F(CommandLineTest, UnwritableOutputsFailWithTheirPathsAfterWritingTheRest) {
  const std::string video = testing::quoted(makeVideo("clip.avi"));
  // A folder where the shot list should go stops even root.
  fs::create_directory(dir_ / "clip_shots.txt");
  EXPECT_EQ(run(video), "255 " + kShotStage);
  EXPECT_NE(err_.find("Can not write file " + path("clip_shots.txt")), std::string::npos) << err_;
  fs::remove(dir_ / "clip_shots.txt");
  const char* folders[] = {"clip_Shot_Keyframes", "clip_Scene_Keyframes"};
  for (const char* folder : folders) std::ofstream(dir_ / folder) << "a file in its place\n";
  EXPECT_EQ(run("--kf_shot --kf_scene " + video),
            "255 " + kShotStage + "Scene segmentation analysis...\n");
  for (const char* folder : folders)
    EXPECT_NE(err_.find("Can not create folder " + path(folder)), std::string::npos) << err_;
  for (const char* file :
       {"clip_shots.txt", "clip_shots.srt", "clip_scenes.txt", "clip_scenes.srt"})
    EXPECT_TRUE(fs::exists(dir_ / file)) << file;
}

TEST_F(CommandLineTest, ShotsOnlyRunMergesAnUndecodableLastShotAndKeepsTheDecodedSize) {
  // Its header claims 120 frames.
  const std::string video = testing::quoted(makeVideo("over.avi"));
  ASSERT_TRUE(testing::setAviFrameCount(path("over.avi"), 120));
  // One scan range, so no range seam falls on a cut; -n is accepted and ignored.
  EXPECT_EQ(run("--trans_type --shots --kf_shot --kf_scene -n 7 " + video, "OMP_NUM_THREADS=1"),
            "0 " + kShotStage + "Completed!\n");
  EXPECT_EQ(err_,
            "Can not decode 30 of 120 frames of " + path("over.avi") + " (first 91, last 120)\n");
  // The last shot's keyframes lie past the decodable frames: it joins the one before.
  EXPECT_EQ(testing::readWholeFile(path("over_shots.txt")), "1 30 8 15 22 0\n31 120 38 45 52 0\n");
  EXPECT_EQ(cv::imread(path("over_Shot_Keyframes/shot2_3.jpg")).size(), cv::Size(640, 360));
  for (const char* file :
       {"over_scenes.txt", "over_Scene_Keyframes", "over_Shot_Keyframes/shot3_1.jpg"})
    EXPECT_FALSE(fs::exists(dir_ / file)) << file;
}

}  // namespace
}  // namespace shotscene
