#include "scenes/scene_list.h"

#include <gtest/gtest.h>

#include "scenes/scene_subtitles.h"
#include "shots/shot_subtitles.h"
#include "tests/support/scratch_folder.h"

namespace shotscene {
namespace {

using testing::readWholeFile;

class SceneFilesTest : public testing::ScratchFolderTest {};

TEST_F(SceneFilesTest, ReadBackFailsOnMissingListsStopsAtBadLinesAndSaturates) {
  // A scene list that cannot be read back fails instead of waiting for its end.
  EXPECT_FALSE(writeSceneSubtitles(path("gone_scenes.txt"), 25.0f));
  EXPECT_EQ(readWholeFile(path("gone_scenes.srt")), "");
  std::vector<StoredShot> shots;
  EXPECT_FALSE(readShotRecords(path("gone_shots.txt"), shots));
  // Frame numbers far past any int (a hand-edited list) saturate.
  std::ofstream(path("huge_scenes.txt")) << "1 60111111111111111111111111111111 15 29 43 0 0";
  ASSERT_TRUE(writeSceneSubtitles(path("huge_scenes.txt"), 25.0f));
  EXPECT_EQ(readWholeFile(path("huge_scenes.srt")),
            "1\n00:00:00.040 --> 23860:55:48.000\nScene1 \n\n");
  // Shot records stop at the first incomplete line.
  std::ofstream(path("v_shots.txt")) << "1 10 3 5 7 1\n11 20 13 15 17\n21 30 x\n31 40 33 35 37\n";
  ASSERT_TRUE(readShotRecords(path("v_shots.txt"), shots));
  ASSERT_EQ(shots.size(), 2u);  // the sixth number is ignored
  EXPECT_EQ(shots[1].first, 11.0f);
  EXPECT_EQ(shots[1].samples[2], 17.0f);
}

// Labels accumulate as for scenes (the same writer); failing to write is
// reported as for the shot list (command-line tests).
TEST_F(SceneFilesTest, ShotSubtitlesNameShotsAtTheFrameRate) {
  ASSERT_TRUE(writeShotSubtitles(path("clip"),
                                 {makeShotRecord(1, 25, 0), makeShotRecord(26, 50, 2)}, 25.0f));
  EXPECT_EQ(readWholeFile(path("clip_shots.srt")),
            "1\n00:00:00.040 --> 00:00:01.000\nShot1 \n\n"
            "2\n00:00:01.040 --> 00:00:02.000\nShot1 Shot2 \n\n");
}

}  // namespace
}  // namespace shotscene
