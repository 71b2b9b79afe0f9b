#include "shots/cut_detection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>

namespace shotscene {
namespace {

constexpr float kFeatureless = -1.0f;  // no keypoints on either frame: ratios and similarity 0

TEST(CutDetectionTest, CutsFollowTheThresholdSkipAndVetoRules) {
  const float above = std::nextafter(0.03f, 1.0f);
  const struct {
    const char* fault;
    float fps;
    std::vector<std::tuple<int, int, float>> low;  // pairs first..last get the similarity
    std::vector<int> isolated, ends;               // the last end is the frame count
  } cases[] = {
      {"0.03f widened is below 0.03", 25, {{100, 100, 0.03f}, {200, 200, above}}, {}, {101, 400}},
      {"12 pairs skipped, 13th examined", 25, {{100, 100, 0}, {113, 114, 0}}, {}, {101, 115, 400}},
      {"29.97 fps skips 14", 29.97f, {{100, 100, 0}, {115, 116, 0}}, {}, {101, 117, 400}},
      {"flash vetoes 3 pairs", 25, {{198, 200, 0}}, {200, 50}, {400}},
      {"flash vetoes no more", 25, {{47, 47, 0}, {201, 201, 0}}, {200, 50}, {48, 202, 400}},
      {"three low pairs do not veto", 25, {{297, 299, 0.04f}, {300, 300, 0}}, {}, {301, 400}},
      {"gap ends the stretch", 25, {{296, 298, 0.04f}, {300, 300, 0}}, {}, {301, 400}},
      {"0.05f widened is not low", 25, {{296, 299, 0.05f}, {300, 300, 0}}, {}, {301, 400}},
      {"no stretch veto at pair 6", 25, {{2, 5, 0.04f}, {6, 6, 0}}, {}, {7, 400}},
      {"four low pairs veto from pair 7", 25, {{3, 6, 0.04f}, {7, 7, 0}}, {}, {400}},
      {"featureless run cuts at its end", 25, {{150, 151, kFeatureless}}, {}, {152, 400}},
      {"long featureless run vetoed", 25, {{150, 170, kFeatureless}}, {}, {400}},
      {"pairs 0, N-3, N-2 unexamined", 0.5f, {{0, 8, 0}}, {}, {2, 4, 6, 10}},
      {"pair N-4 examined", 25, {{7, 7, 0}}, {}, {8, 11}},
      {"4 frames: none examined", 0.5f, {{0, 2, 0}}, {}, {4}},
  };
  for (const auto& c : cases) {
    const int frames = c.ends.back();
    std::vector<PairMeasure> m(frames - 1, PairMeasure{1, 1, 0.8f, 0.8f, 0.8f});
    for (const auto& [first, last, similarity] : c.low) {
      const float ratio = similarity == kFeatureless ? 0.0f : 0.8f;
      for (int p = first; p <= last; ++p) m[p] = {1, 1, ratio, ratio, std::max(0.0f, similarity)};
    }
    std::vector<ShotRecord> shots(std::max(1, frames - 1));
    const int count = detectCuts(m.data(), shots.data(), frames, c.fps, c.isolated);
    std::vector<int> ends;  // -1 where a shot does not start after the one before
    for (int k = 0; k < count; ++k) {
      ends.push_back(shots[k].start == (k == 0 ? 1 : shots[k - 1].end + 1) ? shots[k].end : -1);
    }
    EXPECT_EQ(ends, c.ends) << c.fault;
  }
}

}  // namespace
}  // namespace shotscene
