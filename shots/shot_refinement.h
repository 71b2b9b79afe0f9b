// A second look at shot boundaries, for footage with camera or subject motion:
// every boundary is checked against small sketches of the frames on either
// side, and cuts the scan missed are proposed from a cheap per-pair difference.
#ifndef SHOTSCENE_SHOTS_SHOT_REFINEMENT_H_
#define SHOTSCENE_SHOTS_SHOT_REFINEMENT_H_

#include <opencv2/core.hpp>
#include <vector>

#include "shots/shot_types.h"

namespace shotscene {

// Frames are sketched 48 px wide, grey: small enough to keep one for every
// frame (about 1.3 KB each at 16:9) and blurred enough that motion blur and
// grain hardly change them.
inline constexpr int kSketchWidth = 48;

// What the scan leaves for the second look: one sketch per frame (empty where
// the frame did not decode) and, for pair i, the mean absolute difference of
// sketches i and i+1 in [0, 1] (-1 where either is missing).
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

// The 0-based first and last frames of a transition; for a cut, the last
// frame of the old shot and the first of the new.
struct Transition {
  int first = 0;
  int last = 0;
  bool isCut() const { return last == first + 1; }
};

// The gradual transitions the sketches show away from the cutCount cut
// shots' boundaries: stretches where frames half a second apart do not show
// one shot, between steadier stretches where they do, whose two sides differ.
std::vector<Transition> proposeTransitions(const ShotRecord* cutShots, int cutCount,
                                           const ShotSketches& sketches);

// Adds to `into` a candidate for each proposal that no candidate of
// `existing` covers, to be typed, or erased, like the scan's own, and leaves
// in `proposals` only the covered ones. `existing` and `into` (frameCount - 1
// entries each) may be one vector. Returns how many were added.
int addProposedTransitions(std::vector<Transition>& proposals,
                           const std::vector<PairProfile>& existing,
                           std::vector<PairProfile>& into);

// Drops the cuts (boundaries of the cutCount cut shots, from detectCuts)
// whose two sides the sketches show to be one continuing shot, merging their
// shots, and returns how many cut shots remain. Done before the gradual
// candidates are typed and merged, so that no false cut keeps one out.
int dropContinuingCuts(ShotRecord* cutShots, int cutCount, const ShotSketches& sketches);

// The shots with every boundary that the sketches show to join one continuing
// shot dropped (the two shots merge and take the type of the later one's end),
// and a cut of type 0 added where the differences show a jump the scan missed.
// `profiles` (frameCount - 1 entries) give the frames of gradual transitions,
// whose own frames are left out of the comparison; `isolatedFrames` are the
// scan's one-frame disturbances, where no cut is proposed. `shots` must cover
// frames 1 .. sketches.frames.size() in order.
std::vector<ShotRecord> refineShots(const std::vector<ShotRecord>& shots,
                                    const ShotSketches& sketches, const PairProfile* profiles,
                                    const std::vector<int>& isolatedFrames);

}  // namespace shotscene

#endif  // SHOTSCENE_SHOTS_SHOT_REFINEMENT_H_
