// Per-frame colour and structure description, and the similarity of two frames.
#ifndef SHOTSCENE_SHOTS_FRAME_FEATURES_H_
#define SHOTSCENE_SHOTS_FRAME_FEATURES_H_

#include <opencv2/core.hpp>
#include <opencv2/features2d.hpp>
#include <tuple>
#include <utility>
#include <vector>

#include "shots/shot_types.h"

namespace shotscene {

struct FrameFeatures {
  cv::Mat histogram;                    // 50 x 60 hue/saturation, float, min-max normalised
  std::vector<cv::KeyPoint> keypoints;  // at most 400
  cv::Mat descriptors;                  // one 32-byte row per keypoint; empty without keypoints
};

// ORB with 400 features, 8 levels, Harris score; one per thread.
cv::Ptr<cv::ORB> makeFeatureDetector();

// frame must be 8-bit BGR, already at the analysis scale. A frame with a side
// under 2 pixels gets no keypoints. Buffers in `out` are reused. `grey`, when
// given, receives the grey image the keypoints come from (RGB-to-grey).
void computeFrameFeatures(const cv::Mat& frame, cv::ORB& detector, FrameFeatures& out,
                          cv::Mat* grey = nullptr);

// (correlation, 1 - Bhattacharyya distance); symmetric.
std::pair<double, double> histogramTerms(const cv::Mat& a, const cv::Mat& b);

// Query rows whose two nearest train rows by Hamming distance, d1 <= d2, pass
// 0.8 * d2 >= d1: the brute-force two-nearest ratio test, which depends only
// on the two smallest distances. Both must be 8-bit with 32-byte rows; a train
// set of one row passes no query.
int countGoodMatches(const cv::Mat& query, const cv::Mat& train);
// The same count without AVX-512, which countGoodMatches uses where the CPU has it.
int countGoodMatchesPortable(const cv::Mat& query, const cv::Mat& train);

// Good-match fractions of a's and b's keypoints; a's descriptors are the query set.
std::pair<float, float> matchRatios(const FrameFeatures& a, const FrameFeatures& b);

// Fills measure.similarity from the other four fields.
void pairSimilarity(PairMeasure& measure);

// The pair similarity of a frame against a reference that is not its neighbour,
// with the histogram part in double precision.
float frameSimilarity(const FrameFeatures& reference, const FrameFeatures& current);

// All five fields of the pair (previous, current).
PairMeasure measurePair(const FrameFeatures& previous, const FrameFeatures& current);

}  // namespace shotscene

#endif  // SHOTSCENE_SHOTS_FRAME_FEATURES_H_
