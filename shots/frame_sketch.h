// Small grey sketches of frames, and how alike two are once the camera's shift is undone.
#ifndef SHOTSCENE_SHOTS_FRAME_SKETCH_H_
#define SHOTSCENE_SHOTS_FRAME_SKETCH_H_

#include <opencv2/core.hpp>
#include <vector>

namespace shotscene {

// Frames are sketched 48 px wide, grey: small enough to keep one for every
// frame (about 1.3 KB each at 16:9) and blurred enough that motion blur and
// grain hardly change them.
inline constexpr int kSketchWidth = 48;

// One sketch per frame (empty where the frame did not decode) and, for pair
// i, the mean absolute difference of sketches i and i+1 in [0, 1] (-1 where
// either is missing).
struct ShotSketches {
  std::vector<cv::Mat> frames;
  std::vector<float> differences;
};

// The sketch of a grey frame (8-bit, any size): kSketchWidth wide, the height
// in proportion (at least 8). Empty for an empty frame.
cv::Mat makeSketch(const cv::Mat& grey);

// Appends the next frame's sketch (from makeSketch; empty where the frame did
// not decode), and the difference of the pair it closes, to `sketches`.
void addSketch(ShotSketches& sketches, cv::Mat sketch);

// How alike two sketches of one size are once the global shift between them
// (phase correlation) is undone: the median over a 3 x 3 grid of the
// correlation of the overlapping parts' detail (the sketch less its blur), in
// [-1, 1]; blocks flat in both count as alike when their brightness is close.
// -1 when the shift leaves less than a third of the picture overlapping, or a
// sketch is missing.
float alignedSimilarity(const cv::Mat& a, const cv::Mat& b);

}  // namespace shotscene

#endif  // SHOTSCENE_SHOTS_FRAME_SKETCH_H_
