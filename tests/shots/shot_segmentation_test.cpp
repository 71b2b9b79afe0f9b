#include "shots/shot_segmentation.h"

#include <gtest/gtest.h>
#include <omp.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "shots/cut_detection.h"
#include "shots/segment_scanner.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/test_video.h"

namespace shotscene {
namespace {

TEST(FrameRangesTest, RangesCoverTheVideoWithoutEmptyOnes) {
  const struct {
    int frames, threads;
    std::vector<std::pair<int, int>> ranges;
  } cases[] = {
      {1000, 4, {{0, 250}, {250, 500}, {500, 750}, {750, 1000}}},
      {1000, 8, {{0, 250}, {250, 500}, {500, 750}, {750, 1000}}},
      {1003, 4, {{0, 250}, {250, 500}, {500, 750}, {750, 1003}}},  // last reaches the end
      {1000, 1, {{0, 1000}}},
      {8, 4, {{0, 2}, {2, 4}, {4, 6}, {6, 8}}},
      {7, 4, {{0, 2}, {2, 4}, {4, 7}}},
      {3, 4, {{0, 3}}},
      {1, 4, {{0, 1}}},
  };
  for (const auto& c : cases) {
    std::vector<std::pair<int, int>> got;
    for (const FrameRange& r : planFrameRanges(c.frames, c.threads))
      got.emplace_back(r.first, r.end);
    EXPECT_EQ(got, c.ranges) << c.frames << " frames, " << c.threads << " threads";
  }
}

TEST(FrameRangesTest, SeamPairIsTheMeanOfItsNeighbours) {
  std::vector<PairMeasure> m(999);
  for (int k = 0; k < 999; ++k) m[k] = PairMeasure{1.0f * k, 2.0f, 0.5f, 0.25f, 0.1f * k};
  const std::vector<PairMeasure> before = m;
  const auto ranges = planFrameRanges(1000, 4);
  repairSeams(m, ranges);
  for (int k = 0; k < 999; ++k) {
    if (k == 249 || k == 499 || k == 749) {
      EXPECT_FLOAT_EQ(m[k].histCorrelation,
                      0.5f * (before[k - 1].histCorrelation + before[k + 1].histCorrelation));
      EXPECT_FLOAT_EQ(m[k].similarity,
                      0.5f * (before[k - 1].similarity + before[k + 1].similarity));
    } else {
      EXPECT_EQ(m[k].similarity, before[k].similarity) << k;
    }
  }
  std::vector<PairMeasure> one = before;
  repairSeams(one, planFrameRanges(1000, 1));  // one range: nothing repaired
  for (int k = 0; k < 999; ++k) EXPECT_EQ(one[k].similarity, before[k].similarity);
}

class ShotStageTest : public testing::ScratchFolderTest {
 protected:
  void TearDown() override {
    ScratchFolderTest::TearDown();
    omp_set_num_threads(omp_get_num_procs());
  }

  // First column of the shot list: where each shot ends.
  std::vector<int> shotEnds(const std::string& stem) const {
    std::ifstream in(stem + "_shots.txt");
    std::vector<int> ends;
    std::string line;
    int expectedStart = 1;
    while (std::getline(in, line)) {
      std::istringstream fields(line);
      int start = 0, end = 0;
      fields >> start >> end;
      EXPECT_EQ(start, expectedStart) << line;
      expectedStart = end + 1;
      ends.push_back(end);
    }
    return ends;
  }
};

TEST_F(ShotStageTest, FiveHardCutsGiveExactlyThoseBoundaries) {
  testing::VideoPlan plan;
  for (int seed = 1; seed <= 6; ++seed) testing::addShot(plan, seed, 37);
  ASSERT_TRUE(testing::writeVideo(plan, path("cuts.avi")));
  // Range seams (at 111 with two threads) average their pair away, so this is
  // checked on one range, where nothing is repaired.
  omp_set_num_threads(1);
  ASSERT_EQ(runShotSegmentation(path("cuts.avi"), false, "", false), kShotStageOk);
  EXPECT_EQ(shotEnds(path("cuts")), (std::vector<int>{37, 74, 111, 148, 185, 222}));
}

TEST_F(ShotStageTest, FlashIsIsolatedAndMakesNoCut) {
  testing::VideoPlan plan;
  testing::addShot(plan, 4, 80);
  plan.flashes = {40};
  const std::vector<cv::Mat> frames = testing::renderAllFrames(plan);
  std::vector<PairMeasure> measures(frames.size() - 1);
  ScanContext context = makeScanContext();
  startScan(context, frames[0]);
  std::vector<int> isolated;
  for (size_t j = 1; j < frames.size(); ++j) {
    const int found = scanNextFrame(context, frames[j], static_cast<int>(j), measures.data());
    if (found >= 0) isolated.push_back(found);
  }
  EXPECT_EQ(isolated, (std::vector<int>{40}));
  std::vector<ShotRecord> cuts(frames.size() - 1);
  EXPECT_EQ(detectCuts(measures.data(), cuts.data(), 80, 25.0f, isolated), 1);
  // Without the veto the frame after the flash would be a cut.
  EXPECT_EQ(detectCuts(measures.data(), cuts.data(), 80, 25.0f, {}), 2);
}

TEST_F(ShotStageTest, LongDissolveGivesNoRunOfCuts) {
  testing::VideoPlan plan;
  testing::addShot(plan, 1, 60);
  testing::addTransition(plan, testing::SegmentKind::kDissolve, 2, 30);
  testing::addShot(plan, 2, 60);
  ASSERT_TRUE(testing::writeVideo(plan, path("dissolve.avi")));
  omp_set_num_threads(1);
  ASSERT_EQ(runShotSegmentation(path("dissolve.avi"), false, "", false), kShotStageOk);
  const std::vector<int> ends = shotEnds(path("dissolve"));
  ASSERT_EQ(ends.back(), 150);
  for (size_t k = 0; k + 1 < ends.size(); ++k) {
    // Typing may erase the candidates; what it leaves lies inside the dissolve.
    EXPECT_GE(ends[k], 60) << "boundary before the dissolve";
    EXPECT_LE(ends[k], 91) << "boundary after the dissolve";
    if (k > 0) {
      EXPECT_GE(ends[k] - ends[k - 1], 13);
    }
  }
}

TEST_F(ShotStageTest, RunsAreRepeatableAndShortVideosComplete) {
  const testing::VideoPlan plan = testing::demoPlan(cv::Size(160, 120), 25.0, 300);
  ASSERT_TRUE(testing::writeVideo(plan, path("demo.avi")));
  for (int threads : {1, 2, 4}) {
    omp_set_num_threads(threads);
    ASSERT_EQ(runShotSegmentation(path("demo.avi"), false, "", true), kShotStageOk);
    const std::string first = testing::readWholeFile(path("demo_shots.txt"));
    ASSERT_EQ(runShotSegmentation(path("demo.avi"), false, "", true), kShotStageOk);
    EXPECT_EQ(testing::readWholeFile(path("demo_shots.txt")), first) << threads;
    EXPECT_EQ(shotEnds(path("demo")).back(), testing::frameCount(plan));
  }
  for (int n = 1; n <= 9; ++n) {
    testing::VideoPlan tiny;
    tiny.size = cv::Size(64, 48);
    testing::addShot(tiny, 1, n);
    const std::string video = path("tiny" + std::to_string(n) + ".avi");
    ASSERT_TRUE(testing::writeVideo(tiny, video));
    for (int threads = 1; threads <= 4; ++threads) {
      omp_set_num_threads(threads);
      ASSERT_EQ(runShotSegmentation(video, false, "", false), kShotStageOk) << n;
      EXPECT_EQ(shotEnds(path("tiny" + std::to_string(n))), (std::vector<int>{n}))
          << n << " frames, " << threads << " threads";
    }
  }
}

}  // namespace
}  // namespace shotscene
