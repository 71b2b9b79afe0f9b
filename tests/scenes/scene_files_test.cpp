#include "scenes/scene_files.h"

#include <gtest/gtest.h>

#include "tests/support/scratch_folder.h"

namespace shotscene {
namespace {

class SceneFilesTest : public testing::ScratchFolderTest {
 protected:
  // Writes scenes of 10 frames each as the scene stage does, one-shot scenes
  // at odd positions.
  std::string writeScenes(int count) {
    const std::string list = path("v_scenes.txt");
    std::FILE* file = std::fopen(list.c_str(), "w");
    writeFirstSceneStart(file);
    for (int k = 0; k < count; ++k) {
      SceneEntry scene;
      scene.end = 10 * (k + 1);
      scene.keyframes = {10 * k + 2, 10 * k + 4, 10 * k + 6, k % 2 ? 0 : 10 * k + 8,
                         k % 2 ? 0 : 10 * k + 9};
      if (k + 1 < count) {
        writeSceneEnd(file, scene, scene.end + 1);
      } else {
        writeLastSceneEnd(file, scene);
      }
    }
    std::fclose(file);
    return list;
  }
};

TEST_F(SceneFilesTest, ListHasNoFinalLineEndAndEveryLineIsReadBack) {
  EXPECT_EQ(testing::readWholeFile(writeScenes(1)), "1 10 2 4 6 8 9");
  EXPECT_EQ(testing::readWholeFile(writeScenes(3)),
            "1 10 2 4 6 8 9\n11 20 12 14 16 0 0\n21 30 22 24 26 28 29");
  const std::string list = writeScenes(7);
  std::vector<std::pair<float, float>> spans;
  ASSERT_TRUE(readSceneSpans(list, spans));
  ASSERT_EQ(spans.size(), 7u);
  EXPECT_EQ(spans[0], std::make_pair(1.0f, 10.0f));
  EXPECT_EQ(spans[6], std::make_pair(61.0f, 70.0f));
  EXPECT_FALSE(readSceneSpans(path("missing_scenes.txt"), spans));
  EXPECT_TRUE(spans.empty());
}

TEST_F(SceneFilesTest, SubtitleLabelsAccumulateInGroupsOfFive) {
  ASSERT_TRUE(writeSceneSubtitles(writeScenes(7), 10.0f));
  const std::string srt = testing::readWholeFile(path("v_scenes.srt"));
  EXPECT_EQ(srt.substr(0, srt.find("\n\n3\n")),
            "1\n00:00:00.100 --> 00:00:01.000\nScene1 \n\n"
            "2\n00:00:01.100 --> 00:00:02.000\nScene1 Scene2 ");
  EXPECT_NE(srt.find("\n5\n00:00:04.100 --> 00:00:05.000\nScene1 Scene2 Scene3 Scene4 Scene5 \n\n"
                     "6\n00:00:05.100 --> 00:00:06.000\nScene6 \n\n"
                     "7\n00:00:06.100 --> 00:00:07.000\nScene6 Scene7 \n\n"),
            std::string::npos)
      << srt;
}

TEST_F(SceneFilesTest, SingleRecordListAndUnreadableListAreHandled) {
  const std::string list = path("one_scenes.txt");
  std::FILE* file = std::fopen(list.c_str(), "w");
  writeSingleScene(file, SceneEntry{5, 40, {13, 21, 29, 0, 0}});
  std::fclose(file);
  EXPECT_EQ(testing::readWholeFile(list), "5 40 13 21 29 0 0");
  ASSERT_TRUE(writeSceneSubtitles(list, 25.0f));
  EXPECT_EQ(testing::readWholeFile(path("one_scenes.srt")),
            "1\n00:00:00.200 --> 00:00:01.600\nScene1 \n\n");
  // A list that cannot be read back fails instead of waiting for its end.
  EXPECT_FALSE(writeSceneSubtitles(path("gone_scenes.txt"), 25.0f));
  EXPECT_EQ(testing::readWholeFile(path("gone_scenes.srt")), "");
  // Frame numbers far past any int (a hand-edited list) saturate instead of overflowing.
  std::ofstream(path("huge_scenes.txt")) << "1 60111111111111111111111111111111 15 29 43 0 0";
  ASSERT_TRUE(writeSceneSubtitles(path("huge_scenes.txt"), 25.0f));
  EXPECT_EQ(testing::readWholeFile(path("huge_scenes.srt")),
            "1\n00:00:00.040 --> 23860:55:48.000\nScene1 \n\n");
}

TEST_F(SceneFilesTest, ShotRecordsStopAtTheFirstIncompleteLine) {
  std::ofstream(path("v_shots.txt")) << "1 10 3 5 7 1\n11 20 13 15 17\n21 30 x\n31 40 33 35 37\n";
  std::vector<StoredShot> shots;
  ASSERT_TRUE(readShotRecords(path("v_shots.txt"), shots));
  ASSERT_EQ(shots.size(), 2u);  // the sixth number is ignored
  EXPECT_EQ(shots[1].first, 11.0f);
  EXPECT_EQ(shots[1].samples[2], 17.0f);
  EXPECT_FALSE(readShotRecords(path("none_shots.txt"), shots));
}

}  // namespace
}  // namespace shotscene
