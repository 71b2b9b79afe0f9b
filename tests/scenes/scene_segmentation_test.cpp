#include "scenes/scene_segmentation.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "scenes/scene_files.h"
#include "scenes/shot_signatures.h"
#include "shots/shot_segmentation.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/test_video.h"

namespace shotscene {
namespace {

std::vector<std::vector<int>> rowsOf(const std::string& text) {
  std::vector<std::vector<int>> rows;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    rows.emplace_back();
    for (int v; fields >> v;) rows.back().push_back(v);
  }
  return rows;
}

class SceneStageTest : public testing::ScratchFolderTest {
 protected:
  // Three groups of four shots, each group alternating two pictures of one
  // colour family; uneven lengths keep cuts off the scan-range seams.
  std::string makeGroups() {
    plan_.size = cv::Size(160, 120);
    plan_.grain = 2.0;
    for (int k = 0; k < 12; ++k)
      testing::addShot(plan_, (k / 4 + 1) * 100 + 1 + k % 2, 28 + 3 * (k % 4));
    const std::string video = path("groups.mp4");
    EXPECT_TRUE(testing::writeVideo(plan_, video, "avc1"));
    return video;
  }
  int runBoth(const std::string& video, bool kfScene) {
    EXPECT_EQ(runShotSegmentation(video, false, "", false), kShotStageOk);
    return runSceneSegmentation(video, computeShotSignatures(video), kfScene);
  }

  testing::VideoPlan plan_;
};

TEST_F(SceneStageTest, GroupJoinsStartScenesAndRunsRepeat) {
  const std::string video = makeGroups();
  ASSERT_EQ(runBoth(video, true), kSceneStageOk);
  const std::string list = testing::readWholeFile(path("groups_scenes.txt"));
  const std::string srt = testing::readWholeFile(path("groups_scenes.srt"));
  const auto scenes = rowsOf(list);
  const std::vector<int> cuts = testing::cutBoundaries(plan_);
  ASSERT_EQ(scenes.size(), 3u) << list;
  EXPECT_EQ(scenes[0][0], 1);
  EXPECT_EQ(scenes[1][0], cuts[3] + 1);
  EXPECT_EQ(scenes[2][0], cuts[7] + 1);
  EXPECT_EQ(scenes[2][1], testing::frameCount(plan_));
  EXPECT_NE(list.back(), '\n');
  for (size_t s = 0; s < scenes.size(); ++s) {
    ASSERT_EQ(scenes[s].size(), 7u);
    for (int k = 2; k < 7; ++k) {
      if (scenes[s][k] == 0) continue;
      EXPECT_GE(scenes[s][k], scenes[s][0]);
      EXPECT_LE(scenes[s][k], scenes[s][1]);
    }
    for (int j = 1; j <= 5; ++j) {
      const auto image = dir_ / "groups_Scene_Keyframes" /
                         ("scene" + std::to_string(s + 1) + "_" + std::to_string(j) + ".jpg");
      EXPECT_TRUE(std::filesystem::exists(image)) << image;
    }
  }
  EXPECT_NE(srt.find("\n3\n"), std::string::npos);
  EXPECT_EQ(srt.find("\n4\n"), std::string::npos);
  // Two runs of the tool draw the same votes and the same k-means seeds
  // (within one process the k-means generator runs on, so runs are processes).
  std::string first;
  for (int run = 0; run < 2; ++run) {
    const std::string command =
        std::string("'") + SHOTSCENE_BINARY + "' '" + video + "' >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string files = testing::readWholeFile(path("groups_scenes.txt")) + "|" +
                              testing::readWholeFile(path("groups_scenes.srt"));
    if (run == 0) {
      first = files;
    } else {
      EXPECT_EQ(files, first);
    }
  }
  EXPECT_EQ(rowsOf(testing::readWholeFile(path("groups_scenes.txt"))).size(), 3u);
}

TEST_F(SceneStageTest, ShortShotListsGiveOneSceneAndEmptyListsNone) {
  const std::string video = makeGroups();
  std::ofstream(path("groups_shots.txt")) << "";
  EXPECT_EQ(runSceneSegmentation(video, computeShotSignatures(video), true), kSceneStageOk);
  EXPECT_EQ(testing::readWholeFile(path("groups_scenes.txt")), "");
  EXPECT_EQ(testing::readWholeFile(path("groups_scenes.srt")), "");
  std::ofstream(path("groups_shots.txt")) << "5 40 13 21 29\n";
  EXPECT_EQ(runSceneSegmentation(video, computeShotSignatures(video), true), kSceneStageOk);
  EXPECT_EQ(testing::readWholeFile(path("groups_scenes.txt")), "5 40 13 21 29 0 0");
  EXPECT_TRUE(std::filesystem::exists(dir_ / "groups_Scene_Keyframes/scene1_3.jpg"));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "groups_Scene_Keyframes/scene1_4.jpg"));
  // Two or three records: one one-shot scene from shot 0, ending at the frame count.
  for (const char* shots :
       {"1 40 10 20 30\n41 90 50 60 70\n", "1 40 10 20 30\n41 90 50 60 70\n91 390 150 200 250\n"}) {
    std::ofstream(path("groups_shots.txt")) << shots;
    EXPECT_EQ(runSceneSegmentation(video, computeShotSignatures(video), false), kSceneStageOk);
    EXPECT_EQ(testing::readWholeFile(path("groups_scenes.txt")), "1 390 10 20 30 0 0");
  }
}

TEST_F(SceneStageTest, UnwritableSceneListFails) {
  const std::string video = makeGroups();
  std::filesystem::create_directory(path("groups_scenes.txt"));
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(runBoth(video, false), kSceneFilesUnwritable);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("Can not write file " +
                                                          path("groups_scenes.txt")),
            std::string::npos);
}

}  // namespace
}  // namespace shotscene
