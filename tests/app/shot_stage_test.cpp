#include <gtest/gtest.h>

#include "shots/frame_ranges.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/test_video.h"
#include "tests/support/tool_runner.h"

namespace shotscene {
namespace {

// Videos too short for two frames a range are the bad-input tests' business.
TEST(FrameRangesTest, RangesSplitTheVideoEvenlyAndTheLastTakesTheRest) {
  const auto spans = [](int frames, int threads) {
    std::vector<std::pair<int, int>> s;
    for (const FrameRange& r : planFrameRanges(frames, threads)) s.emplace_back(r.first, r.end);
    return s;
  };
  using Spans = std::vector<std::pair<int, int>>;
  EXPECT_EQ(spans(1003, 8),
            (Spans{{0, 250}, {250, 500}, {500, 750}, {750, 1003}}));  // four at most
  EXPECT_EQ(spans(7, 4), (Spans{{0, 2}, {2, 4}, {4, 7}}));            // two frames a range at least
  EXPECT_EQ(spans(120, 1), (Spans{{0, 120}}));
}

class ShotStageTest : public testing::ScratchFolderTest {};

// A cut on the pair that joins two ranges, with two and with four threads, is
// found at every thread count; a one-frame flash inside a range is no cut.
TEST_F(ShotStageTest, CutWhereRangesMeetIsFoundAndAFlashIsNoneWhateverTheThreadCount) {
  testing::VideoPlan plan;
  plan.size = cv::Size(160, 96);
  plan.still = true;
  plan.grain = 2.0;
  testing::addShot(plan, 0, 60);
  testing::addShot(plan, 100, 60);
  plan.flashes = {20};
  ASSERT_TRUE(testing::writeVideo(plan, path("seams.avi")));
  for (const char* threads : {"1", "2", "4"}) {
    const testing::Outcome r = testing::runTool(dir_.string(), "--shots seams.avi",
                                                std::string("OMP_NUM_THREADS=") + threads);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(testing::readWholeFile(path("seams_shots.txt")), "1 60 15 29 43\n61 120 75 89 103\n")
        << threads << " threads";
  }
}

}  // namespace
}  // namespace shotscene
