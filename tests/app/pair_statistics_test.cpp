// The statistics rows of a scan, and the file they make read back.
#include "shots/pair_statistics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <tuple>

#include "app/shot_stage.h"
#include "tests/support/scratch_folder.h"

namespace shotscene {
namespace {

class PairStatisticsTest : public testing::ScratchFolderTest {};

bool same(float a, float b) { return std::isnan(a) ? std::isnan(b) : a == b; }

// Six frames, the fourth undecoded; shots 1-2, 3-4 (a dissolve), 5-6; the
// second look checked the boundary after frame 4.
TEST_F(PairStatisticsTest, RowsTellUndecodedPairsShotEndsAndTheSecondLookAndReadBackExactly) {
  ShotScan scan;
  ASSERT_TRUE(allocateShotScan(scan, 6));
  for (int i = 0; i < 5; ++i) {
    scan.measures[i] = {0.1f * i, 1.0f / 3.0f, 0.7f, 0.25f, 1e-7f * i};
    scan.profiles[i].smoothed = 0.5f + i;
  }
  scan.candidateScores = {0.0f, 0.0f, 0.75f, 0.0f, 0.0f};
  scan.sketchDifferences = {0.5f, 0.25f, 0.125f, 1.0f, 0.0f};
  scan.sideSimilarities[3] = 0.625f;
  FrameIndex index;
  for (int k = 0; k < 6; ++k) recordFrame(index, k == 3 ? cv::Mat() : cv::Mat(2, 2, CV_8UC3), k);
  const std::vector<ShotRecord> shots = {makeShotRecord(1, 2, kAbrupt),
                                         makeShotRecord(3, 4, kDissolve),
                                         makeShotRecord(5, 6, kAbrupt)};
  const std::vector<PairStatistics> rows = collectPairStatistics(scan, shots, index);
  ASSERT_EQ(rows.size(), 5u);
  const struct {
    int shotEnd, type;
    bool undecoded;
  } expected[] = {{0, -1, false}, {1, 0, false}, {0, -1, true}, {2, 1, true}, {0, -1, false}};
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(rows[i].shotEnd, expected[i].shotEnd);
    EXPECT_EQ(rows[i].transitionType, expected[i].type);
    EXPECT_EQ(rows[i].undecoded, expected[i].undecoded);
    EXPECT_EQ(std::isnan(rows[i].sideSimilarity), i != 3);
  }

  for (const bool secondLook : {false, true}) {
    std::ofstream(path("clip_stats.csv")) << pairStatisticsText(rows, secondLook);
    std::vector<PairStatistics> back;
    std::string error;
    ASSERT_TRUE(readPairStatistics(path("clip_stats.csv"), 5, back, error)) << error;
    ASSERT_EQ(back.size(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
      const PairStatistics &a = rows[i], &b = back[i];
      EXPECT_EQ(std::memcmp(&a.measure, &b.measure, sizeof a.measure), 0) << i;
      EXPECT_EQ(
          std::make_tuple(a.smoothed, a.candidateScore, a.shotEnd, a.transitionType, a.undecoded),
          std::make_tuple(b.smoothed, b.candidateScore, b.shotEnd, b.transitionType, b.undecoded));
      EXPECT_TRUE(same(secondLook ? a.sketchDifference : NAN, b.sketchDifference)) << i;
    }
    EXPECT_TRUE(same(back[3].sideSimilarity, secondLook ? 0.625f : NAN));
    EXPECT_FALSE(readPairStatistics(path("clip_stats.csv"), 6, back, error));
    EXPECT_EQ(error, path("clip_stats.csv") + ":7: not one row per frame pair of the video");
  }
}

}  // namespace
}  // namespace shotscene
