#include "transitions/wipe_detection.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>

namespace shotscene {

namespace {

constexpr int kEnlargement = 5;

}  // namespace

int sliceColumnCount(const AnalysisScale& size) {
  return static_cast<int>(std::floor(static_cast<float>(size.height) / 3.0f + 0.5f));
}

cv::Mat buildDiagonalSlice(const std::vector<cv::Mat>& grey, const AnalysisScale& size) {
  const int columns = sliceColumnCount(size);
  cv::Mat slice = cv::Mat::zeros(static_cast<int>(grey.size()), std::max(0, columns), CV_8U);
  if (slice.empty() || size.width <= 0 || size.height <= 0) return slice;
  const float aspect =
      static_cast<float>(size.decodedWidth) / static_cast<float>(size.decodedHeight);
  uint8_t* out = slice.ptr<uint8_t>();
  const size_t capacity = slice.total();
  size_t written = 0;
  for (const cv::Mat& frame : grey) {
    if (frame.empty()) continue;
    const uint8_t* pixels = frame.ptr<uint8_t>();
    const long long count = static_cast<long long>(frame.rows) * frame.cols;
    // Rows are counted against the working width, even where the image's own
    // width differs from it by a pixel.
    for (long long r = 0; r * size.width < count && written < capacity; r += 3) {
      const long long column = static_cast<long long>(static_cast<float>(r) * aspect);
      if (column >= size.width) continue;
      const long long p = r * size.width + column;
      if (p < count) out[written++] = pixels[p];
    }
  }
  return slice;
}

cv::Mat diffSliceRows(cv::Mat slice, float* mean) {
  cv::Mat diff = cv::Mat::zeros(std::max(0, slice.rows - 1), slice.cols, CV_8U);
  float sum = 0.0f;
  for (int k = 0; k + 1 < slice.rows; ++k) {
    for (int j = 0; j < slice.cols; ++j) {
      const int d = static_cast<int>(std::fabs(static_cast<float>(slice.at<uint8_t>(k + 1, j)) -
                                               static_cast<float>(slice.at<uint8_t>(k, j))));
      diff.at<uint8_t>(k, j) = static_cast<uint8_t>(d);
      sum += static_cast<float>(d);
    }
  }
  *mean = sum / static_cast<float>(slice.rows * slice.cols);
  return diff;
}

bool findWipeLine(const cv::Mat& slice, const AnalysisScale& size, int* lineStart, int* lineEnd) {
  if (slice.rows < 2 || slice.cols < 1) return false;
  float mean = 0.0f;
  const cv::Mat diff = diffSliceRows(slice, &mean);
  const int k = static_cast<int>(diff.total());
  if (k < 2) return false;
  float squares = 0.0f;
  for (int i = 0; i < k; ++i) {
    const float d = static_cast<float>(diff.data[i]) - mean;
    squares += d * d;
  }
  const float sigma = std::sqrt(squares / static_cast<float>(k - 1));
  cv::Mat mask(diff.size(), CV_8U);
  for (int i = 0; i < k; ++i) {
    mask.data[i] = static_cast<float>(diff.data[i]) > mean + 2.0f * sigma ? 255 : 0;
  }
  // The enlarged mask keeps its interpolated edges: every non-zero pixel is a point.
  cv::Mat enlarged;
  cv::resize(mask, enlarged, cv::Size(0, 0), kEnlargement, kEnlargement, cv::INTER_LINEAR);
  std::vector<cv::Vec4i> segments;
  cv::HoughLinesP(enlarged, segments, 1.0, CV_PI / 180.0, 200, 5 * size.height / 9,
                  5 * size.height / 30);
  for (const cv::Vec4i& s : segments) {
    if (s[0] == s[2]) continue;
    const float slope =
        static_cast<float>(std::abs(s[3] - s[1])) / static_cast<float>(std::abs(s[2] - s[0]));
    if (slope > 0.05f && slope < 0.5f) {
      *lineStart = static_cast<int>(static_cast<float>(std::min(s[1], s[3])) / 5.0f);
      *lineEnd = static_cast<int>(static_cast<float>(std::max(s[1], s[3])) / 5.0f);
      return true;
    }
  }
  return false;
}
}  // namespace shotscene
