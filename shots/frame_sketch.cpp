#include "shots/frame_sketch.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>
#include <utility>

namespace shotscene {

namespace {

// Detail is what a blur of this sigma (in sketch pixels) takes away.
constexpr double kDetailBlur = 3.0;
// A block whose grey levels spread less than this is flat.
constexpr double kFlatSpread = 2.0;
constexpr double kFlatBrightness = 10.0;

// A sketch as compared: its grey levels, and its detail (the grey levels
// less their blur), both float.
struct Compared {
  cv::Mat grey, detail;
};

Compared compared(const cv::Mat& sketch) {
  Compared c;
  sketch.convertTo(c.grey, CV_32F);
  cv::GaussianBlur(c.grey, c.detail, cv::Size(), kDetailBlur);
  c.detail = c.grey - c.detail;
  return c;
}

// Correlation of the detail of two blocks of one size; blocks flat in both
// are alike when their brightness is close.
float blockCorrelation(const Compared& a, const Compared& b, const cv::Rect& inA,
                       const cv::Rect& inB) {
  cv::Scalar meanA, spreadA, meanB, spreadB;
  cv::meanStdDev(a.grey(inA), meanA, spreadA);
  cv::meanStdDev(b.grey(inB), meanB, spreadB);
  const bool flatA = spreadA[0] < kFlatSpread;
  const bool flatB = spreadB[0] < kFlatSpread;
  if (flatA || flatB) {
    return flatA && flatB && std::fabs(meanA[0] - meanB[0]) < kFlatBrightness ? 1.0f : 0.0f;
  }
  cv::meanStdDev(a.detail(inA), meanA, spreadA);
  cv::meanStdDev(b.detail(inB), meanB, spreadB);
  if (spreadA[0] <= 0.0 || spreadB[0] <= 0.0) return 0.0f;
  const double covariance = cv::mean((a.detail(inA) - meanA[0]).mul(b.detail(inB) - meanB[0]))[0];
  return static_cast<float>(covariance / (spreadA[0] * spreadB[0]));
}

// Median block correlation of a and b where b is a moved by (dx, dy).
float shiftedSimilarity(const Compared& a, const Compared& b, int dx, int dy) {
  const int w = a.grey.cols, h = a.grey.rows;
  const cv::Rect inA(std::max(0, -dx), std::max(0, -dy), w - std::abs(dx), h - std::abs(dy));
  if (inA.width * inA.height * 3 < w * h || inA.width < 6 || inA.height < 6) return -1.0f;
  std::vector<float> blocks;
  for (int by = 0; by < 3; ++by) {
    for (int bx = 0; bx < 3; ++bx) {
      const int x0 = inA.width * bx / 3, x1 = inA.width * (bx + 1) / 3;
      const int y0 = inA.height * by / 3, y1 = inA.height * (by + 1) / 3;
      const cv::Rect block(inA.x + x0, inA.y + y0, x1 - x0, y1 - y0);
      blocks.push_back(blockCorrelation(a, b, block, block + cv::Point(dx, dy)));
    }
  }
  std::nth_element(blocks.begin(), blocks.begin() + 4, blocks.end());
  return blocks[4];
}

}  // namespace

cv::Mat makeSketch(const cv::Mat& grey) {
  if (grey.empty()) return cv::Mat();
  const int height = std::max(
      8, static_cast<int>(std::lround(static_cast<double>(kSketchWidth) * grey.rows / grey.cols)));
  cv::Mat sketch;
  cv::resize(grey, sketch, cv::Size(kSketchWidth, height), 0, 0, cv::INTER_AREA);
  return sketch;
}

void addSketch(ShotSketches& sketches, cv::Mat sketch) {
  if (!sketches.frames.empty()) {
    const cv::Mat& previous = sketches.frames.back();
    float difference = -1.0f;
    if (!previous.empty() && !sketch.empty()) {
      difference = static_cast<float>(cv::norm(previous, sketch, cv::NORM_L1) /
                                      (255.0 * static_cast<double>(sketch.total())));
    }
    sketches.differences.push_back(difference);
  }
  sketches.frames.push_back(std::move(sketch));
}

float alignedSimilarity(const cv::Mat& a, const cv::Mat& b) {
  if (a.empty() || b.empty() || a.size() != b.size()) return -1.0f;
  const Compared ca = compared(a), cb = compared(b);
  // Sketches of one video share a size: the window is made once per thread.
  thread_local cv::Mat window;
  if (window.size() != a.size()) cv::createHanningWindow(window, a.size(), CV_32F);
  const cv::Point2d shift = cv::phaseCorrelate(ca.grey, cb.grey, window);
  const int dx = static_cast<int>(std::lround(shift.x));
  const int dy = static_cast<int>(std::lround(shift.y));
  return std::max(shiftedSimilarity(ca, cb, 0, 0), shiftedSimilarity(ca, cb, dx, dy));
}

}  // namespace shotscene
