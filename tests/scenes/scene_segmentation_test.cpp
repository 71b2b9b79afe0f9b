#include "scenes/scene_segmentation.h"

#include <gtest/gtest.h>

#include <iterator>

#include "app/shot_stage.h"
#include "scenes/shot_signatures.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/test_video.h"
#include "tests/support/tool_runner.h"

namespace shotscene {
namespace {

using testing::readWholeFile;

class SceneStageTest : public testing::ScratchFolderTest {};

TEST_F(SceneStageTest, GroupsBecomeScenesAndShortShotListsOneSceneOrNone) {
  // Three groups of four shots (390 frames), each group alternating two pictures
  // of one colour family; uneven lengths keep cuts off the scan-range seams.
  testing::VideoPlan plan;
  plan.size = cv::Size(160, 120);
  plan.grain = 2.0;
  for (int k = 0; k < 12; ++k) testing::addShot(plan, k / 4 * 100 + 101 + k % 2, 28 + k % 4 * 3);
  const std::string video = path("groups.mp4"), out = path("groups");
  ASSERT_TRUE(testing::writeVideo(plan, video, "avc1"));
  Video opened;
  ASSERT_TRUE(openVideo(opened, video));
  ASSERT_EQ(runShotSegmentation(opened, false, "", false), kShotStageOk);
  const auto run = [&](bool kfScene) {
    return runSceneSegmentation(opened, computeShotSignatures(opened), kfScene);
  };
  ASSERT_EQ(run(false), kSceneStageOk);
  // Lines follow on from frame 1 to the frame count, each with its subtitle.
  EXPECT_EQ(testing::outputProblems(out, 390, true), "");
  std::istringstream list(readWholeFile(out + "_scenes.txt"));
  const std::vector<int> v{std::istream_iterator<int>(list), std::istream_iterator<int>()};
  ASSERT_EQ(v.size(), 21u);  // three scenes, each from the first shot of its group
  EXPECT_EQ((std::vector<int>{v[0], v[7], v[14]}), (std::vector<int>{1, 131, 261}));
  for (int k = 0; k < 21; ++k) {  // keyframes lie in their scene
    EXPECT_TRUE(k % 7 < 2 || (v[k] >= v[k / 7 * 7] && v[k] <= v[k / 7 * 7 + 1])) << k;
  }

  // Nothing from an empty list; a single record keeps its span; two or three
  // records give one scene from shot 0 to the frame count. One-shot scenes
  // have three keyframes.
  const std::string one = "1\n00:00:00.040 --> 00:00:15.600\nScene1 \n\n";
  const std::pair<const char*, std::string> cases[] = {
      {"", "|"},
      {"5 40 13 21 29\n", "5 40 13 21 29 0 0|1\n00:00:00.200 --> 00:00:01.600\nScene1 \n\n"},
      {"1 40 10 20 30\n41 90 50 60 70\n", "1 390 10 20 30 0 0|" + one},
      {"1 40 10 20 30\n41 90 50 60 70\n91 390 150 200 250\n", "1 390 10 20 30 0 0|" + one}};
  for (const auto& [shots, files] : cases) {
    std::ofstream(out + "_shots.txt") << shots;
    EXPECT_EQ(run(true), kSceneStageOk) << shots;
    EXPECT_EQ(readWholeFile(out + "_scenes.txt") + "|" + readWholeFile(out + "_scenes.srt"), files);
  }
  EXPECT_TRUE(std::filesystem::exists(dir_ / "groups_Scene_Keyframes/scene1_3.jpg"));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "groups_Scene_Keyframes/scene1_4.jpg"));
  // A folder in the scene list's place fails the stage.
  std::filesystem::remove(out + "_scenes.txt");
  std::filesystem::create_directory(out + "_scenes.txt");
  EXPECT_EQ(run(false), kSceneFilesUnwritable);
}

}  // namespace
}  // namespace shotscene
