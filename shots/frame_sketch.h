// Small grey sketches of frames, and how alike two are once the camera's shift is undone.
#ifndef SHOTSCENE_SHOTS_FRAME_SKETCH_H_
#define SHOTSCENE_SHOTS_FRAME_SKETCH_H_

#include <deque>
#include <opencv2/core.hpp>

namespace shotscene {

// Frames are sketched 48 px wide, grey (about 1.3 KB each at 16:9): blurred
// enough that motion blur and grain hardly change them.
inline constexpr int kSketchWidth = 48;

// The sketch of a grey frame (8-bit, any size): kSketchWidth wide, the height
// in proportion (at least 8). Empty for an empty frame.
cv::Mat makeSketch(const cv::Mat& grey);

// Consecutive sketches at hand: those of frames first .. first +
// frames.size() - 1, empty where a frame did not decode.
struct SketchRun {
  int first = 0;
  std::deque<cv::Mat> frames;
};

// The sketch of frame f; empty where the run does not hold it.
const cv::Mat& sketchAt(const SketchRun& run, int f);

// The mean absolute difference of two sketches of one size, in [0, 1]; -1
// where either is missing.
float sketchDifference(const cv::Mat& a, const cv::Mat& b);

// The standard deviation of a sketch's grey levels; -1 for a missing one.
float sketchSpread(const cv::Mat& sketch);

// How alike two sketches of one size are once the global shift between them
// (phase correlation) is undone: the median over a 3 x 3 grid of the
// correlation of the overlapping parts' detail (the sketch less its blur), in
// [-1, 1]; blocks flat in both count as alike when their brightness is close.
// -1 when the shift leaves less than a third of the picture overlapping, or a
// sketch is missing.
float alignedSimilarity(const cv::Mat& a, const cv::Mat& b);

// The mean absolute difference of two 8-bit sketches of one size, in [0, 1], over
// the overlap once one is moved by the whole-pixel shift, of at most a quarter
// of the width and of the height, that leaves the least (at least half the
// picture overlapping): how much of their change a camera's move leaves. A
// search, not a phase correlation, as that finds no shift between smooth
// pictures. -1 where either is missing.
float leastMovedDifference(const cv::Mat& a, const cv::Mat& b);

// How much of the difference of two 8-bit sketches of one size is left once
// the camera's move and a change of exposure are undone: the least mean
// absolute difference of their overlaps, each less its mean and divided by its
// spread (at least kFlatSketchSpread), over whole-pixel shifts of up to
// kFarMove of the width and of the height that leave kFarMoveOverlap of the
// picture overlapping, as a share of that difference unshifted. A camera
// swung far often changes its exposure on the way. Shifts are followed only
// while they could leave less than `below`: where none does, the result is 1.
// 0 where the sketches do not differ so; -1 where either is missing.
inline constexpr double kFarMove = 0.45;
inline constexpr double kFarMoveOverlap = 0.4;
float farMovedShare(const cv::Mat& a, const cv::Mat& b, double below = 1.0);

// The shift between two sketches of one size, in sketch pixels, by phase
// correlation, and the height of its peak (1 where the pictures are one
// moved, near 0 where nothing matches); no shift at height 0 where either is
// missing or flat.
struct SketchMove {
  cv::Point2d shift;
  double peak = 0.0;
};
SketchMove sketchMove(const cv::Mat& a, const cv::Mat& b);

// How alike the layouts of two sketches of one size are: the correlation of
// their blurred grey levels over the overlap, as they lie or with the global
// shift between them undone, whichever is more, in [-1, 1]. Blur and a zoom
// that defeat alignedSimilarity leave the layout. -1 where a sketch is
// missing or flat.
float layoutSimilarity(const cv::Mat& a, const cv::Mat& b);

// How much two sketches of one size differ where the camera's shift explains
// nothing: their absolute difference over the overlap, as they lie or with
// the global shift between them undone, whichever is less, averaged over a
// 4 x 4 grid of blocks. `contrastFree` figures compare each sketch less its
// mean and divided by its spread (at least kFlatSketchSpread), so that a change
// of brightness or contrast alone is none; `grey` figures compare grey levels
// in [0, 1]. All -1 where a sketch is missing.
struct SketchChange {
  float mean = -1.0f;    // contrast-free, over the whole overlap
  float median = -1.0f;  // contrast-free, of the blocks
  float most = -1.0f;    // contrast-free, of the block that changed most
  float grey = -1.0f;
  float greyMedian = -1.0f;
};
inline constexpr double kFlatSketchSpread = 4.0;
SketchChange sketchChange(const cv::Mat& a, const cv::Mat& b);

}  // namespace shotscene

#endif  // SHOTSCENE_SHOTS_FRAME_SKETCH_H_
