#include "shots/frame_features.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <opencv2/imgproc.hpp>

#include "common/avx512.h"

namespace shotscene {

cv::Ptr<cv::ORB> makeFeatureDetector() {
  return cv::ORB::create(400, 1.2f, 8, 31, 0, 2, cv::ORB::HARRIS_SCORE, 31);
}

void computeFrameFeatures(const cv::Mat& frame, cv::ORB& detector, FrameFeatures& out,
                          cv::Mat* greyOut) {
  static const int kChannels[] = {0, 1};
  static const int kBins[] = {50, 60};
  // Hue (0..179) is binned over [0, 256) and saturation over [0, 180): hue
  // fills bins 0..34 only and saturation of 180 or more is not counted.
  static const float kHueRange[] = {0.0f, 256.0f};
  static const float kSaturationRange[] = {0.0f, 180.0f};
  static const float* kRanges[] = {kHueRange, kSaturationRange};

  cv::Mat hsv;
  cv::cvtColor(frame, hsv, cv::COLOR_BGR2HSV);
  cv::calcHist(&hsv, 1, kChannels, cv::Mat(), out.histogram, 2, kBins, kRanges, true, false);
  cv::normalize(out.histogram, out.histogram, 0.0, 1.0, cv::NORM_MINMAX, -1);

  out.keypoints.clear();
  out.descriptors.release();
  // RGB-to-grey on BGR data swaps the red and blue weights; results depend on it.
  cv::Mat grey;
  cv::cvtColor(frame, grey, cv::COLOR_RGB2GRAY);
  if (greyOut != nullptr) *greyOut = grey;
  // ORB throws on images this thin, and nothing may throw inside a scan thread.
  if (frame.cols < 2 || frame.rows < 2) return;
  detector.detectAndCompute(grey, cv::noArray(), out.keypoints, out.descriptors, false);
  if (out.keypoints.empty()) out.descriptors.release();
}

std::pair<double, double> histogramTerms(const cv::Mat& a, const cv::Mat& b) {
  const double correlation = cv::compareHist(a, b, cv::HISTCMP_CORREL);
  const double distance = cv::compareHist(a, b, cv::HISTCMP_BHATTACHARYYA);
  return {correlation, 1.0 - distance};
}

namespace {

// d1 and d2 end as the smallest and second smallest of the distances seen.
template <typename Distance>
inline void keepTwoSmallest(Distance d, Distance& d1, Distance& d2) {
  if (d < d1) {
    d2 = d1;
    d1 = d;
  } else if (d < d2) {
    d2 = d;
  }
}

// Both sets must be 8-bit with 32-byte rows; a train set of one row passes no query.
bool matchable(const cv::Mat& query, const cv::Mat& train) {
  CV_Assert(query.type() == CV_8U && train.type() == CV_8U && query.cols == 32 && train.cols == 32);
  return train.rows >= 2;
}

// The distances enter as floats and the test runs in double precision.
inline bool passesRatioTest(int64_t d1, int64_t d2) {
  return 0.8 * static_cast<double>(static_cast<float>(d2)) >= static_cast<float>(d1);
}

// Bits set in a 32-byte descriptor XOR; built twice so that CPUs with the
// popcount instruction use it and others still run.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
__attribute__((target_clones("popcnt", "default")))
#endif
void twoNearest(const uint64_t* query, const uint64_t* train, int trainRows, int* best,
                int* second) {
  int d1 = std::numeric_limits<int>::max(), d2 = d1;
  for (int r = 0; r < trainRows; ++r, train += 4) {
    const int d =
        __builtin_popcountll(query[0] ^ train[0]) + __builtin_popcountll(query[1] ^ train[1]) +
        __builtin_popcountll(query[2] ^ train[2]) + __builtin_popcountll(query[3] ^ train[3]);
    keepTwoSmallest(d, d1, d2);
  }
  *best = d1;
  *second = d2;
}

#ifdef SHOTSCENE_AVX512
// Eight train rows at a time with AVX-512's 64-bit popcount. The train words
// are laid out word by word: planes[k * stride + r] is word k of row r. Each
// lane keeps the two smallest distances it has seen; the two smallest of all
// rows are the two smallest of those sixteen.
__attribute__((target("avx512f,avx512vpopcntdq"))) int countGoodMatchesWide(const cv::Mat& query,
                                                                            const cv::Mat& train) {
  // Padded to whole groups of eight rows so that every load stays inside.
  const int trainRows = train.rows;
  const size_t stride = (static_cast<size_t>(trainRows) + 7) / 8 * 8;
  std::vector<uint64_t> planes(4 * stride, 0);
  for (int r = 0; r < trainRows; ++r) {
    uint64_t row[4];
    std::memcpy(row, train.ptr(r), 32);
    for (int k = 0; k < 4; ++k) planes[k * stride + static_cast<size_t>(r)] = row[k];
  }
  const __m512i none = _mm512_set1_epi64(std::numeric_limits<int>::max());
  int good = 0;
  for (int q = 0; q < query.rows; ++q) {
    uint64_t row[4];
    std::memcpy(row, query.ptr(q), 32);
    const __m512i q0 = _mm512_set1_epi64(static_cast<long long>(row[0]));
    const __m512i q1 = _mm512_set1_epi64(static_cast<long long>(row[1]));
    const __m512i q2 = _mm512_set1_epi64(static_cast<long long>(row[2]));
    const __m512i q3 = _mm512_set1_epi64(static_cast<long long>(row[3]));
    __m512i first = none, second = none;
    for (int r = 0; r < trainRows; r += 8) {
      const uint64_t* at = planes.data() + r;
      __m512i d = _mm512_popcnt_epi64(_mm512_xor_si512(_mm512_loadu_si512(at), q0));
      at += stride;
      d = _mm512_add_epi64(d, _mm512_popcnt_epi64(_mm512_xor_si512(_mm512_loadu_si512(at), q1)));
      at += stride;
      d = _mm512_add_epi64(d, _mm512_popcnt_epi64(_mm512_xor_si512(_mm512_loadu_si512(at), q2)));
      at += stride;
      d = _mm512_add_epi64(d, _mm512_popcnt_epi64(_mm512_xor_si512(_mm512_loadu_si512(at), q3)));
      // Lanes past the last row hold padding and take no part.
      if (trainRows - r < 8) {
        d = _mm512_mask_mov_epi64(none, static_cast<__mmask8>((1u << (trainRows - r)) - 1u), d);
      }
      second = _mm512_min_epi64(second, _mm512_max_epi64(first, d));
      first = _mm512_min_epi64(first, d);
    }
    alignas(64) int64_t lanes[16];
    _mm512_store_si512(lanes, first);
    _mm512_store_si512(lanes + 8, second);
    int64_t d1 = std::numeric_limits<int>::max(), d2 = d1;
    for (const int64_t d : lanes) keepTwoSmallest(d, d1, d2);
    good += passesRatioTest(d1, d2);
  }
  return good;
}

bool hasWidePopcount() {
  static const bool has =
      __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vpopcntdq");
  return has;
}
#endif

}  // namespace

int countGoodMatches(const cv::Mat& query, const cv::Mat& train) {
  if (!matchable(query, train)) return 0;
#ifdef SHOTSCENE_AVX512
  if (hasWidePopcount()) return countGoodMatchesWide(query, train);
#endif
  return countGoodMatchesPortable(query, train);
}

int countGoodMatchesPortable(const cv::Mat& query, const cv::Mat& train) {
  if (!matchable(query, train)) return 0;
  // Rows are copied into aligned words once; descriptor rows need not be aligned.
  std::vector<uint64_t> words(static_cast<size_t>(train.rows) * 4);
  for (int r = 0; r < train.rows; ++r) std::memcpy(&words[4 * r], train.ptr(r), 32);
  int good = 0;
  for (int q = 0; q < query.rows; ++q) {
    uint64_t row[4];
    std::memcpy(row, query.ptr(q), 32);
    int d1 = 0, d2 = 0;
    twoNearest(row, words.data(), train.rows, &d1, &d2);
    good += passesRatioTest(d1, d2);
  }
  return good;
}

std::pair<float, float> matchRatios(const FrameFeatures& a, const FrameFeatures& b) {
  if (a.descriptors.cols != b.descriptors.cols) return {0.0f, 0.0f};
  int good = 0;
  if (!a.descriptors.empty() && !b.descriptors.empty()) {
    good = countGoodMatches(a.descriptors, b.descriptors);
  }
  const auto ratio = [good](size_t keypoints) {
    if (keypoints == 0) return 0.0f;
    const float r = static_cast<float>(static_cast<double>(good) / static_cast<double>(keypoints));
    // Many queries can match into a frame with few keypoints; such a ratio is
    // meaningless and counts as no match.
    return r > 1.0f ? 0.0f : r;
  };
  return {ratio(a.keypoints.size()), ratio(b.keypoints.size())};
}

void pairSimilarity(PairMeasure& m) {
  const float h = 0.5f * (m.histCorrelation + m.histAffinity);
  const float matches = 0.5f * (m.matchRatioA + m.matchRatioB);
  const float cube = std::fabs(h) * std::fabs(h) * std::fabs(h);
  m.similarity = matches * cube;
}

float frameSimilarity(const FrameFeatures& reference, const FrameFeatures& current) {
  const auto [correlation, affinity] = histogramTerms(current.histogram, reference.histogram);
  const auto [ratioA, ratioB] = matchRatios(reference, current);
  const double h = 0.5 * (affinity + correlation);
  const double cube = std::fabs(h * h * h);
  const float matches = 0.5f * (ratioA + ratioB);
  return static_cast<float>(cube * matches);
}

PairMeasure measurePair(const FrameFeatures& previous, const FrameFeatures& current) {
  PairMeasure m;
  const auto [correlation, affinity] = histogramTerms(previous.histogram, current.histogram);
  m.histCorrelation = static_cast<float>(correlation);
  m.histAffinity = static_cast<float>(affinity);
  std::tie(m.matchRatioA, m.matchRatioB) = matchRatios(previous, current);
  pairSimilarity(m);
  return m;
}

}  // namespace shotscene
