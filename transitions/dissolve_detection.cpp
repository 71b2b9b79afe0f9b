#include "transitions/dissolve_detection.h"

namespace shotscene {

namespace {

constexpr double kMonotonicRatio = 0.7;
constexpr int kNoValue = -1;

}  // namespace

int dissolveGridCount(const AnalysisScale& size) {
  return (size.height / 10 + 1) * (size.width / 10 + 1);
}

float dissolveRatio(const std::vector<cv::Mat>& grey, const AnalysisScale& size) {
  const int n = static_cast<int>(grey.size());
  if (n <= 1 || size.width <= 0 || size.height <= 0) return 0.0f;
  const int g = dissolveGridCount(size);
  // series[j * n + k]: grey value of grid point j in frame k.
  std::vector<int> series(static_cast<size_t>(g) * n, kNoValue);
  for (int k = 0; k < n; ++k) {
    const cv::Mat& frame = grey[k];
    if (frame.empty()) continue;
    int j = 0;
    // Row-major pixel index p, its row taken against the working width even
    // when the image is a pixel wider or narrower than that.
    const long long pixels = static_cast<long long>(frame.rows) * frame.cols;
    for (long long p = 0; p < pixels && j < g; p += 10) {
      if ((p / size.width) % 10 != 0) continue;
      series[static_cast<size_t>(j++) * n + k] = frame.ptr<uint8_t>()[p];
    }
  }
  int monotonic = 0;
  for (int j = 0; j < g; ++j) {
    const int* v = &series[static_cast<size_t>(j) * n];
    int rises = 0, falls = 0;
    for (int k = 1; k < n; ++k) {
      if (v[k] == kNoValue || v[k - 1] == kNoValue) continue;
      rises += v[k] > v[k - 1];
      falls += v[k] < v[k - 1];
    }
    float ratio = 0.0f;
    if (rises > falls) ratio = static_cast<float>(rises) / static_cast<float>(n);
    if (falls > rises) ratio = static_cast<float>(falls) / static_cast<float>(n);
    if (static_cast<double>(ratio) > kMonotonicRatio) ++monotonic;
  }
  return static_cast<float>(monotonic) / static_cast<float>(g);
}
}  // namespace shotscene
