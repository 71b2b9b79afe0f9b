// The scene stage: grouping, keyframes, and the scene list and subtitles.
#include "scenes/scene_segmentation.h"

#include <iterator>

#include "boundaries/shot_boundaries.h"
#include "scenes/scene_keyframes.h"
#include "scenes/scene_list.h"
#include "scenes/scene_subtitles.h"
#include "scenes/shot_signatures.h"
#include "shots/shot_list.h"
#include "shots/shot_subtitles.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/tool_runner.h"
#include "tools/test_video.h"

namespace shotscene {
namespace {

using testing::readWholeFile;

TEST(SceneKeyframesTest, EachClusterGivesItsFirstNearestMemberInAscendingOrder) {
  cv::Mat data = (cv::Mat_<float>(4, 2) << 0, 0, 2, 0, 1, 0, 3, 0);
  cv::Mat centres = (cv::Mat_<float>(5, 2) << 1, 0, 3, 0, 9, 9, 9, 9, 9, 9);
  // Rows 0 and 1 lie 1 from centre 0, row 2 on it; row 3 on centre 1; the
  // other clusters have no members and give row 0.
  cv::Mat labels = (cv::Mat_<int>(4, 1) << 0, 0, 0, 1);
  EXPECT_EQ(pickClusterRepresentatives(labels, data, centres), (std::array<int, 5>{2, 3, 0, 0, 0}));
  labels = (cv::Mat_<int>(4, 1) << 0, 0, 1, 1);  // rows 0 and 1 tie: the first wins
  EXPECT_EQ(pickClusterRepresentatives(labels, data, centres), (std::array<int, 5>{0, 3, 0, 0, 0}));
  // Five distinct samples among entries 3 to 7 are all chosen.
  SignatureTable table(9);
  for (int k = 0; k < 9; ++k) table[k][k * 10] = 1.0f;
  EXPECT_EQ(selectSceneKeyframes(table, 3, 8), (std::array<int, 5>{3, 4, 5, 6, 7}));
}

TEST(SceneSignatureTest, FullSaturationAndFullValueFallInNoBin) {
  // Rows of white, pure blue (hue 120 of 180: bin 32) and grey 128 (value bin 24).
  cv::Mat frame(4, 2, CV_8UC3, cv::Scalar::all(128));
  frame.row(0).setTo(cv::Scalar::all(255));
  frame.row(1).setTo(cv::Scalar(255, 0, 0));
  const ShotSignature s = frameSignature(frame);
  // Each block sums to 1 over the pixels in its range.
  EXPECT_EQ((std::vector<float>{s[0], s[32], s[48], s[96 + 24]}),
            (std::vector<float>{0.75f, 0.25f, 1.0f, 1.0f}));
}

class SceneFilesTest : public testing::ScratchFolderTest {};

TEST_F(SceneFilesTest, ReadBackFailsOnMissingListsStopsAtBadLinesAndSaturates) {
  // A scene list that cannot be read back fails instead of waiting for its end.
  EXPECT_FALSE(writeSceneSubtitles(path("gone"), 25.0f));
  EXPECT_EQ(readWholeFile(path("gone_scenes.srt")), "");
  std::vector<StoredShot> shots;
  EXPECT_FALSE(readShotRecords(path("gone_shots.txt"), shots));
  // Frame numbers far past any int (a hand-edited list) saturate.
  std::ofstream(path("huge_scenes.txt")) << "1 60111111111111111111111111111111 15 29 43 0 0";
  ASSERT_TRUE(writeSceneSubtitles(path("huge"), 25.0f));
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
  ShotScan scan;
  ASSERT_TRUE(allocateShotScan(scan, opened.probe.frameCount));
  const std::vector<ShotRecord> shots = findShotBoundaries(opened, scan, {});
  ASSERT_TRUE(writeShotList(out, shots, false, false) &&
              writeShotSubtitles(out, shots, opened.probe.frameRate));
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
}

}  // namespace
}  // namespace shotscene
