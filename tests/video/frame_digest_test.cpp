#include "video/frame_digest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace shotscene {
namespace {

cv::Mat randomFrame(int rows, int cols, int type, uint64_t seed) {
  cv::Mat frame(rows, cols, type);
  cv::RNG rng(seed);
  rng.fill(frame, cv::RNG::UNIFORM, 0, 256);
  return frame;
}

// The digest is compared across readers in one run, so both paths must agree
// on rows that end mid-stripe, rows longer than one block and row views.
TEST(FrameDigestTest, WideDigestDiffersFromPortable) {
  struct Shape {
    int rows, cols, type;
  };
  const std::vector<Shape> shapes = {{1, 1, CV_8UC1},   {3, 7, CV_8UC3},   {2, 64, CV_8UC1},
                                     {5, 400, CV_8UC3}, {4, 683, CV_8UC3}, {720, 1280, CV_8UC3}};
  uint64_t seed = 1;
  for (const Shape& s : shapes) {
    const cv::Mat frame = randomFrame(s.rows, s.cols, s.type, seed++);
    EXPECT_EQ(frameDigest(frame), frameDigestPortable(frame)) << s.rows << "x" << s.cols;
  }
  const cv::Mat wide = randomFrame(9, 301, CV_8UC3, seed);
  const cv::Mat view = wide(cv::Rect(3, 1, 290, 7));
  EXPECT_EQ(frameDigest(view), frameDigestPortable(view));
  EXPECT_EQ(frameDigest(view), frameDigest(view.clone()));
}

// A seek that lands on another frame must show: a changed byte anywhere,
// equal stripes or rows in another order, or the same bytes in another shape.
TEST(FrameDigestTest, DigestMissesChangedFrame) {
  const cv::Mat frame = randomFrame(40, 683, CV_8UC3, 9);
  const uint64_t digest = frameDigest(frame);
  const size_t rowBytes = frame.cols * frame.elemSize();
  for (const auto& [row, byte] : std::vector<std::pair<int, size_t>>{
           {0, 0}, {0, 63}, {0, 64}, {17, 1000}, {17, 1024}, {39, rowBytes - 1}}) {
    cv::Mat changed = frame.clone();
    changed.ptr<uint8_t>(row)[byte] ^= 1;
    EXPECT_NE(frameDigest(changed), digest) << row << ":" << byte;
  }
  cv::Mat stripes = frame.clone();  // two stripes of one row exchanged
  std::swap_ranges(stripes.ptr<uint8_t>(5), stripes.ptr<uint8_t>(5) + 64,
                   stripes.ptr<uint8_t>(5) + 128);
  EXPECT_NE(frameDigest(stripes), digest);
  cv::Mat rows = frame.clone();
  frame.row(3).copyTo(rows.row(4));
  frame.row(4).copyTo(rows.row(3));
  EXPECT_NE(frameDigest(rows), digest);
  EXPECT_NE(frameDigest(frame.reshape(3, 20)), digest);  // the same bytes in 20 rows
  EXPECT_NE(frameDigest(frame.reshape(1)), digest);      // one channel, three times as wide
  EXPECT_EQ(frameDigest(frame.clone()), digest);
}

// Many equal stripes (a flat frame) must not cancel out within a block.
TEST(FrameDigestTest, FlatFramesOfNearbyGreysCollide) {
  std::vector<uint64_t> seen;
  for (int grey = 0; grey < 256; ++grey) {
    seen.push_back(frameDigest(cv::Mat(288, 512, CV_8UC3, cv::Scalar::all(grey))));
  }
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(std::adjacent_find(seen.begin(), seen.end()), seen.end());
}

}  // namespace
}  // namespace shotscene
