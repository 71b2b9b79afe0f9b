// Runs the shotscene executable as a user would and checks statuses and messages.
#include <opencv2/imgcodecs.hpp>
#include <set>
#include <sstream>

#include "tests/support/scratch_folder.h"
#include "tests/support/tool_runner.h"
#include "tools/test_video.h"

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
    EXPECT_TRUE(testing::writeVideo(testing::cutsPlan(cv::Size(640, 360), 3, 30), path(name)));
    return path(name);
  }
  std::string err_;
};

TEST_F(CommandLineTest, ParseErrorsExitOneBeforeAnyWork) {
  for (const char* bad : {"--kf_num abc a.avi", "--no_such_switch a.avi", "a.avi -p", ""}) {
    EXPECT_EQ(run(bad), "1 ") << bad;
    EXPECT_EQ(err_.rfind("PARSE ERROR", 0), 0u) << bad << ": " << err_;
  }
  // The last one named no video.
  EXPECT_NE(err_.find("Required argument missing: video_file"), std::string::npos) << err_;
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
  EXPECT_EQ(testing::outputProblems(path("clip"), 90, true), "");
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

// The images a list names: shotN_1..3 per line; sceneN_1..5, or 1..3 for one-shot scenes.
std::set<std::string> listedImages(const std::string& list, const std::string& word) {
  std::set<std::string> images;
  std::istringstream lines(testing::readWholeFile(list));
  std::string line;
  for (int number = 1; std::getline(lines, line); ++number) {
    const int count = word == "shot" || line.find(" 0 0") != std::string::npos ? 3 : 5;
    for (int j = 1; j <= count; ++j) {
      images.insert(word + std::to_string(number) + "_" + std::to_string(j) + ".jpg");
    }
  }
  return images;
}

std::set<std::string> namesIn(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename());
  return names;
}

// Over the folders of a longer clip of the same name, with the user's files
// in them: a run whose scene stage fails removes no scene image; a run that
// succeeds leaves exactly the images of its lists and the user's files.
TEST_F(CommandLineTest, KeyframeRunLeavesOnlyTheImagesOfItsListsAndTheUsersFiles) {
  ASSERT_TRUE(testing::writeVideo(testing::demoPlan({160, 96}, 25.0, 700), path("clip.avi")));
  ASSERT_EQ(run("--kf_shot --kf_scene clip.avi").substr(0, 2), "0 ") << err_;
  const std::set<std::string> user = {"notes.txt",   "shot01_1.jpg", "shot2_1.jpg.bak",
                                      "shot3_0.jpg", "Shot4_1.jpg",  "shot5_2.jpg.d"};
  for (const std::string& name : user) std::ofstream(dir_ / "clip_Shot_Keyframes" / name) << "mine";
  fs::create_directory(dir_ / "clip_Shot_Keyframes" / "shot999_1.jpg");  // a folder stays
  const std::set<std::string> longerScenes = namesIn(dir_ / "clip_Scene_Keyframes");
  ASSERT_GT(longerScenes.size(), 5u);
  ASSERT_TRUE(testing::writeVideo(testing::demoPlan({160, 96}, 25.0, 200), path("clip.avi")));
  fs::remove(dir_ / "clip_scenes.txt");
  fs::create_directory(dir_ / "clip_scenes.txt");
  EXPECT_EQ(run("--kf_shot --kf_scene clip.avi").substr(0, 4), "255 ");
  EXPECT_EQ(namesIn(dir_ / "clip_Scene_Keyframes"), longerScenes);
  fs::remove(dir_ / "clip_scenes.txt");
  ASSERT_EQ(run("--kf_shot --kf_scene clip.avi").substr(0, 2), "0 ") << err_;
  std::set<std::string> expected = listedImages(path("clip_shots.txt"), "shot");
  EXPECT_GT(expected.size(), 9u);
  expected.insert(user.begin(), user.end());
  expected.insert("shot999_1.jpg");
  EXPECT_EQ(namesIn(dir_ / "clip_Shot_Keyframes"), expected);
  EXPECT_EQ(namesIn(dir_ / "clip_Scene_Keyframes"), listedImages(path("clip_scenes.txt"), "scene"));
}

}  // namespace
}  // namespace shotscene
