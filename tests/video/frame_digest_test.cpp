#include "video/frame_digest.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>
#include <vector>

namespace shotscene {
namespace {

// The digest is compared across readers in one run, so both paths must agree
// on rows that end mid-stripe, rows longer than one block and row views; and
// a seek that lands on another frame must show: a changed byte anywhere, equal
// stripes or rows in another order, the same bytes in another shape, or a flat
// frame of another grey (many equal stripes must not cancel out in a block).
TEST(FrameDigestTest, PathsAgreeAndEveryOtherFrameDiffers) {
  cv::RNG rng(1);
  const auto random = [&rng](int rows, int cols, int type) {
    cv::Mat frame(rows, cols, type);
    rng.fill(frame, cv::RNG::UNIFORM, 0, 256);
    return frame;
  };
  const cv::Mat view = random(9, 301, CV_8UC3)(cv::Rect(3, 1, 290, 7));
  std::vector<cv::Mat> frames = {view, view.clone()};
  for (const auto& [rows, cols, type] : {std::tuple{1, 1, CV_8UC1},
                                         {3, 7, CV_8UC3},
                                         {2, 64, CV_8UC1},
                                         {5, 400, CV_8UC3},
                                         {4, 683, CV_8UC3},
                                         {720, 1280, CV_8UC3}}) {
    frames.push_back(random(rows, cols, type));
  }
  for (const cv::Mat& frame : frames) {
    EXPECT_EQ(frameDigest(frame), frameDigestPortable(frame)) << frame.rows << "x" << frame.cols;
  }
  EXPECT_EQ(frameDigest(view), frameDigest(view.clone()));

  const cv::Mat frame = random(40, 683, CV_8UC3);
  std::vector<cv::Mat> others = {frame.reshape(3, 20), frame.reshape(1), frame.clone(),
                                 frame.clone()};
  std::swap_ranges(others[2].ptr<uint8_t>(5), others[2].ptr<uint8_t>(5) + 64,
                   others[2].ptr<uint8_t>(5) + 128);  // two stripes of one row exchanged
  frame.row(3).copyTo(others[3].row(4));
  frame.row(4).copyTo(others[3].row(3));
  for (const auto& [row, byte] : std::vector<std::pair<int, size_t>>{
           {0, 0}, {0, 63}, {0, 64}, {17, 1000}, {17, 1024}, {39, 683 * 3 - 1}}) {
    others.push_back(frame.clone());
    others.back().ptr<uint8_t>(row)[byte] ^= 1;
  }
  for (const cv::Mat& other : others) EXPECT_NE(frameDigest(other), frameDigest(frame));
  std::set<uint64_t> greys;
  for (int grey = 0; grey < 256; ++grey) {
    greys.insert(frameDigest(cv::Mat(288, 512, CV_8UC3, cv::Scalar::all(grey))));
  }
  EXPECT_EQ(greys.size(), 256u);
}

}  // namespace
}  // namespace shotscene
