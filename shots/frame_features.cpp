#include "shots/frame_features.h"

#include <cmath>
#include <opencv2/imgproc.hpp>

namespace shotscene {

cv::Ptr<cv::ORB> makeFeatureDetector() {
  return cv::ORB::create(400, 1.2f, 8, 31, 0, 2, cv::ORB::HARRIS_SCORE, 31);
}

cv::Ptr<cv::BFMatcher> makeFeatureMatcher() {
  return cv::BFMatcher::create(cv::NORM_HAMMING, false);
}

void computeFrameFeatures(const cv::Mat& frame, cv::ORB& detector, FrameFeatures& out) {
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
  // ORB throws on images this thin, and nothing may throw inside a scan thread.
  if (frame.cols < 2 || frame.rows < 2) return;
  // RGB-to-grey on BGR data swaps the red and blue weights; results depend on it.
  cv::Mat grey;
  cv::cvtColor(frame, grey, cv::COLOR_RGB2GRAY);
  detector.detectAndCompute(grey, cv::noArray(), out.keypoints, out.descriptors, false);
  if (out.keypoints.empty()) out.descriptors.release();
}

std::pair<double, double> histogramTerms(const cv::Mat& a, const cv::Mat& b) {
  const double correlation = cv::compareHist(a, b, cv::HISTCMP_CORREL);
  const double distance = cv::compareHist(a, b, cv::HISTCMP_BHATTACHARYYA);
  return {correlation, 1.0 - distance};
}

std::pair<float, float> matchRatios(cv::DescriptorMatcher& matcher, const FrameFeatures& a,
                                    const FrameFeatures& b) {
  if (a.descriptors.cols != b.descriptors.cols) return {0.0f, 0.0f};
  int good = 0;
  if (!a.descriptors.empty() && !b.descriptors.empty()) {
    std::vector<std::vector<cv::DMatch>> candidates;
    matcher.knnMatch(a.descriptors, b.descriptors, candidates, 2, cv::noArray(), false);
    for (const auto& list : candidates) {
      if (list.size() >= 2 && 0.8 * list[1].distance >= list[0].distance) ++good;
    }
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

float frameSimilarity(const FrameFeatures& reference, const FrameFeatures& current,
                      cv::DescriptorMatcher& matcher) {
  const auto [correlation, affinity] = histogramTerms(current.histogram, reference.histogram);
  const auto [ratioA, ratioB] = matchRatios(matcher, reference, current);
  const double h = 0.5 * (affinity + correlation);
  const double cube = std::fabs(h * h * h);
  const float matches = 0.5f * (ratioA + ratioB);
  return static_cast<float>(cube * matches);
}

PairMeasure measurePair(const FrameFeatures& previous, const FrameFeatures& current,
                        cv::DescriptorMatcher& matcher) {
  PairMeasure m;
  const auto [correlation, affinity] = histogramTerms(previous.histogram, current.histogram);
  m.histCorrelation = static_cast<float>(correlation);
  m.histAffinity = static_cast<float>(affinity);
  std::tie(m.matchRatioA, m.matchRatioB) = matchRatios(matcher, previous, current);
  pairSimilarity(m);
  return m;
}

}  // namespace shotscene
