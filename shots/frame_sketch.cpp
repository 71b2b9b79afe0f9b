#include "shots/frame_sketch.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <opencv2/imgproc.hpp>
#include <utility>

namespace shotscene {

namespace {

// Detail is what a blur of this sigma (in sketch pixels) takes away.
constexpr double kDetailBlur = 3.0;
// A block whose grey levels spread less than this is flat.
constexpr double kFlatSpread = 2.0;
constexpr double kFlatBrightness = 10.0;
// A layout is what is left after a blur of this sigma (in sketch pixels).
constexpr double kLayoutBlur = 2.0;

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

// The part of a picture of `size` that still shows when it is moved by
// `move`; empty when less than a third would.
cv::Rect overlapOf(cv::Size size, cv::Point move) {
  const cv::Rect inA(std::max(0, -move.x), std::max(0, -move.y), size.width - std::abs(move.x),
                     size.height - std::abs(move.y));
  if (inA.width * inA.height * 3 < size.area() || inA.width < 6 || inA.height < 6) return {};
  return inA;
}

// The shift between two float pictures of one size, by phase correlation over
// a Hanning window, and its peak's height. The correlation may apply the
// window to the pictures themselves: they must be copies.
cv::Point2d phaseShift(cv::Mat a, cv::Mat b, double* peak = nullptr) {
  // Sketches of one video share a size: the window is made once per thread.
  thread_local cv::Mat window;
  if (window.size() != a.size()) cv::createHanningWindow(window, a.size(), CV_32F);
  return cv::phaseCorrelate(a, b, window, peak);
}

// The global shift between two float pictures of one size, to whole pixels.
cv::Point globalShift(const cv::Mat& a, const cv::Mat& b) {
  const cv::Point2d shift = phaseShift(a.clone(), b.clone());
  return {static_cast<int>(std::lround(shift.x)), static_cast<int>(std::lround(shift.y))};
}

// Median block correlation of a and b where b is a moved by (dx, dy).
float shiftedSimilarity(const Compared& a, const Compared& b, int dx, int dy) {
  const cv::Rect inA = overlapOf(a.grey.size(), {dx, dy});
  if (inA.empty()) return -1.0f;
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

// The least of `least` (the unshifted difference) and difference(dx, dy,
// bound) over the whole-pixel shifts of up to `reach` that leave at least
// `overlap` of a picture of `size` showing. Each shift is bounded by the least
// so far, or by `cap` where that is less; past its bound it may give up and
// return anything more than the least so far.
template <typename Difference>
double leastOverShifts(cv::Size size, cv::Point reach, double overlap, double least, double cap,
                       const Difference& difference) {
  for (int dy = -reach.y; dy <= reach.y; ++dy) {
    for (int dx = -reach.x; dx <= reach.x; ++dx) {
      const double shown =
          static_cast<double>(size.width - std::abs(dx)) * (size.height - std::abs(dy));
      if (shown < overlap * size.area()) continue;
      least = std::min(least, difference(dx, dy, std::min(least, cap)));
    }
  }
  return least;
}

}  // namespace

cv::Mat makeSketch(const cv::Mat& grey) {
  if (grey.empty()) return cv::Mat();
  const int height = std::max(
      8, static_cast<int>(std::lround(static_cast<double>(kSketchWidth) * grey.rows / grey.cols)));
  // Averaging whole blocks first is several times faster than one area
  // resize by a fraction; the last few columns and rows that make no whole
  // block are left out.
  const int block = std::max(1, std::min(grey.cols / (2 * kSketchWidth), grey.rows / (2 * height)));
  cv::Mat blocks, sketch;
  cv::resize(grey(cv::Rect(0, 0, grey.cols / block * block, grey.rows / block * block)), blocks,
             cv::Size(grey.cols / block, grey.rows / block), 0, 0, cv::INTER_AREA);
  cv::resize(blocks, sketch, cv::Size(kSketchWidth, height), 0, 0, cv::INTER_AREA);
  return sketch;
}

const cv::Mat& sketchAt(const SketchRun& run, int f) {
  static const cv::Mat kNone;
  const int k = f - run.first;
  return k >= 0 && k < static_cast<int>(run.frames.size()) ? run.frames[static_cast<size_t>(k)]
                                                           : kNone;
}

float sketchDifference(const cv::Mat& a, const cv::Mat& b) {
  if (a.empty() || b.empty() || a.size() != b.size()) return -1.0f;
  return static_cast<float>(cv::norm(a, b, cv::NORM_L1) / (255.0 * static_cast<double>(a.total())));
}

float sketchSpread(const cv::Mat& sketch) {
  if (sketch.empty()) return -1.0f;
  cv::Scalar mean, spread;
  cv::meanStdDev(sketch, mean, spread);
  return static_cast<float>(spread[0]);
}

float alignedSimilarity(const cv::Mat& a, const cv::Mat& b) {
  if (a.empty() || b.empty() || a.size() != b.size()) return -1.0f;
  const Compared ca = compared(a), cb = compared(b);
  const cv::Point shift = globalShift(ca.grey, cb.grey);
  return std::max(shiftedSimilarity(ca, cb, 0, 0), shiftedSimilarity(ca, cb, shift.x, shift.y));
}

float leastMovedDifference(const cv::Mat& a, const cv::Mat& b) {
  if (a.empty() || b.empty() || a.size() != b.size()) return -1.0f;
  CV_Assert(a.type() == CV_8UC1 && b.type() == CV_8UC1);
  // Sums of 8-bit differences are exact in integers; a shift whose partial
  // sum already passes the least so far is left early.
  const auto difference = [&](int dx, int dy, double bound) {
    const int w = a.cols - std::abs(dx), h = a.rows - std::abs(dy);
    const double area = static_cast<double>(w) * h;
    const int x0 = std::max(0, -dx), y0 = std::max(0, -dy);
    int64_t sum = 0;
    for (int y = 0; y < h; ++y) {
      const uint8_t* pa = a.ptr<uint8_t>(y0 + y) + x0;
      const uint8_t* pb = b.ptr<uint8_t>(y0 + y + dy) + x0 + dx;
      int row = 0;
      for (int x = 0; x < w; ++x) row += std::abs(pa[x] - pb[x]);
      sum += row;
      if (static_cast<double>(sum) / area > bound) return bound + 1.0;
    }
    return static_cast<double>(sum) / area;
  };
  const double infinite = std::numeric_limits<double>::infinity();
  const double least = leastOverShifts(a.size(), {a.cols / 4, a.rows / 4}, 0.5,
                                       difference(0, 0, infinite), infinite, difference);
  return static_cast<float>(least / 255.0);
}

float farMovedShare(const cv::Mat& a, const cv::Mat& b, double below) {
  if (a.empty() || b.empty() || a.size() != b.size()) return -1.0f;
  CV_Assert(a.type() == CV_8UC1 && b.type() == CV_8UC1);
  cv::Mat fa, fb;
  a.convertTo(fa, CV_32F);
  b.convertTo(fb, CV_32F);
  // Sums and sums of squares over rectangles, for each overlap's mean and spread.
  cv::Mat sumA, squaresA, sumB, squaresB;
  cv::integral(a, sumA, squaresA, CV_64F, CV_64F);
  cv::integral(b, sumB, squaresB, CV_64F, CV_64F);
  const auto over = [](const cv::Mat& sums, const cv::Rect& r) {
    return sums.at<double>(r.y + r.height, r.x + r.width) - sums.at<double>(r.y, r.x + r.width) -
           sums.at<double>(r.y + r.height, r.x) + sums.at<double>(r.y, r.x);
  };
  // 1 / the spread of a picture's rectangle, and its mean times that.
  const auto evening = [&](const cv::Mat& sums, const cv::Mat& squares, const cv::Rect& r,
                           float* gain, float* shift) {
    const double area = static_cast<double>(r.area());
    const double mean = over(sums, r) / area;
    const double spread = std::sqrt(std::max(0.0, over(squares, r) / area - mean * mean));
    *gain = static_cast<float>(1.0 / std::max(kFlatSketchSpread, spread));
    *shift = static_cast<float>(mean / std::max(kFlatSketchSpread, spread));
  };
  const double infinite = std::numeric_limits<double>::infinity();
  // The evened difference for a shift; infinite once it passes `bound`.
  const auto difference = [&](int dx, int dy, double bound) {
    const cv::Rect inA(std::max(0, -dx), std::max(0, -dy), a.cols - std::abs(dx),
                       a.rows - std::abs(dy));
    const cv::Rect inB = inA + cv::Point(dx, dy);
    float gainA, shiftA, gainB, shiftB;
    evening(sumA, squaresA, inA, &gainA, &shiftA);
    evening(sumB, squaresB, inB, &gainB, &shiftB);
    const float offset = shiftB - shiftA;
    const double area = static_cast<double>(inA.area());
    double sum = 0.0;
    for (int y = 0; y < inA.height; ++y) {
      const float* pa = fa.ptr<float>(inA.y + y) + inA.x;
      const float* pb = fb.ptr<float>(inB.y + y) + inB.x;
      float row = 0.0f;
      for (int x = 0; x < inA.width; ++x) row += std::abs(pa[x] * gainA - pb[x] * gainB + offset);
      sum += row;
      if (sum / area > bound) return infinite;
    }
    return sum / area;
  };
  const double plain = difference(0, 0, infinite);
  if (plain <= 0.0) return 0.0f;
  const cv::Point reach(static_cast<int>(a.cols * kFarMove), static_cast<int>(a.rows * kFarMove));
  const double least =
      leastOverShifts(a.size(), reach, kFarMoveOverlap, plain, below * plain, difference);
  return static_cast<float>(least / plain);
}

SketchMove sketchMove(const cv::Mat& a, const cv::Mat& b) {
  SketchMove move;
  if (a.empty() || b.empty() || sketchSpread(a) < kFlatSketchSpread ||
      sketchSpread(b) < kFlatSketchSpread) {
    return move;
  }
  cv::Mat fa, fb;
  a.convertTo(fa, CV_32F);
  b.convertTo(fb, CV_32F);
  move.shift = phaseShift(fa, fb, &move.peak);
  return move;
}

float layoutSimilarity(const cv::Mat& a, const cv::Mat& b) {
  if (a.empty() || b.empty() || a.size() != b.size()) return -1.0f;
  cv::Mat fa, fb;
  a.convertTo(fa, CV_32F);
  b.convertTo(fb, CV_32F);
  cv::GaussianBlur(fa, fa, cv::Size(), kLayoutBlur);
  cv::GaussianBlur(fb, fb, cv::Size(), kLayoutBlur);
  float best = -1.0f;
  for (const cv::Point& move : {cv::Point(0, 0), globalShift(fa, fb)}) {
    const cv::Rect inA = overlapOf(a.size(), move);
    if (inA.empty()) continue;
    cv::Scalar meanA, spreadA, meanB, spreadB;
    cv::meanStdDev(fa(inA), meanA, spreadA);
    cv::meanStdDev(fb(inA + move), meanB, spreadB);
    if (spreadA[0] < 1.0 || spreadB[0] < 1.0) continue;
    const double covariance = cv::mean((fa(inA) - meanA[0]).mul(fb(inA + move) - meanB[0]))[0];
    best = std::max(best, static_cast<float>(covariance / (spreadA[0] * spreadB[0])));
  }
  return best;
}

SketchChange sketchChange(const cv::Mat& a, const cv::Mat& b) {
  SketchChange change;
  if (a.empty() || b.empty() || a.size() != b.size()) return change;
  cv::Mat fa, fb;
  a.convertTo(fa, CV_32F);
  b.convertTo(fb, CV_32F);
  const auto normalised = [](const cv::Mat& f) {
    cv::Scalar mean, spread;
    cv::meanStdDev(f, mean, spread);
    return cv::Mat((f - mean[0]) / std::max(spread[0], kFlatSketchSpread));
  };
  const cv::Mat za = normalised(fa), zb = normalised(fb);
  const cv::Point shift = globalShift(fa, fb);
  for (const cv::Point& move : {cv::Point(0, 0), shift}) {
    const cv::Rect inA = overlapOf(a.size(), move);
    if (inA.empty()) continue;
    const cv::Rect inB = inA + move;
    const cv::Mat z = cv::abs(za(inA) - zb(inB)), grey = cv::abs(fa(inA) - fb(inB)) / 255.0;
    const float mean = static_cast<float>(cv::mean(z)[0]);
    if (change.mean >= 0.0f && mean >= change.mean) continue;
    std::vector<float> blocks, greyBlocks;
    for (int by = 0; by < 4; ++by) {
      for (int bx = 0; bx < 4; ++bx) {
        const cv::Rect block(inA.width * bx / 4, inA.height * by / 4,
                             inA.width * (bx + 1) / 4 - inA.width * bx / 4,
                             inA.height * (by + 1) / 4 - inA.height * by / 4);
        blocks.push_back(static_cast<float>(cv::mean(z(block))[0]));
        greyBlocks.push_back(static_cast<float>(cv::mean(grey(block))[0]));
      }
    }
    const auto median = [](std::vector<float> v) {
      std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
      return v[v.size() / 2];
    };
    change.mean = mean;
    change.median = median(blocks);
    change.most = *std::max_element(blocks.begin(), blocks.end());
    change.grey = static_cast<float>(cv::mean(grey)[0]);
    change.greyMedian = median(greyBlocks);
  }
  return change;
}

}  // namespace shotscene
