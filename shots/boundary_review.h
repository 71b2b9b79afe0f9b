// The second look's check of shot boundaries: whether a pair of frames breaks
// as a cut does, whether the frames either side of a gradual transition show
// one shot and its own frames mix or sweep from one to the other, and the
// shot list with the boundaries that fail dropped and those the scan missed
// added.
#ifndef SHOTSCENE_SHOTS_BOUNDARY_REVIEW_H_
#define SHOTSCENE_SHOTS_BOUNDARY_REVIEW_H_

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "shots/frame_sketch.h"
#include "shots/shot_types.h"

namespace shotscene {

// Sides at least this alike, after the shift between them is undone, are one shot.
inline constexpr double kSameShot = 0.7;
// A gradual candidate's frames, as far as they are taken on trust.
inline constexpr int kLongestTransition = 60;
// breaksAt reads the frames from kBreakReach before a pair to kBreakReach after.
inline constexpr int kBreakReach = 4;
// A cut is proposed from the differences of the pairs within kProposalReach.
inline constexpr int kProposalReach = 10;

// The 0-based first and last frames of a transition; for a cut, the last
// frame of the old shot and the first of the new.
struct Transition {
  int first = 0;
  int last = 0;
  bool isCut() const { return last == first + 1; }
};

// The frames of the gradual candidate of profile entry `entry` (0-based,
// within a video of frameCount frames), as the reviews take them.
Transition candidateSpan(const PairProfile& candidate, int entry, int frameCount);

// Whether the change of the pair of frames f and f + 1 stands out from the
// changes within a few frames on either side, as a cut's does and a flash's,
// a whip pan's or a held cartoon drawing's does not. Where a frame of the pair
// did not decode, the nearest decoded frames within kBreakReach stand for it;
// where there are none, the pair breaks. Reads the run's frames within
// 2 * kBreakReach of the pair.
bool breaksAt(const SketchRun& run, int f);

// Whether pair k is worth proposing as a cut the scan missed: the most
// changed pair within two, changing far more than the pairs within
// kProposalReach and than the frames within a few either side.
// `differences` (sketchDifference of each pair) must hold pair k +
// kProposalReach where the video has it.
bool standsOutAsCut(const SketchRun& run, const std::vector<float>& differences, int k);

// What a gradual transition's frames show: whether the frames a little way
// either side show one shot (`sidesAlike`); how much of the change between
// its ends the frames between leave unexplained by mixing or splitting them,
// at the worst quarter point; whether splitting explains more (`wipe`); and
// whether its frames sweep from one end to the other as a wipe's do.
struct SpanReview {
  bool sidesAlike = false;
  double unexplained = 0.0;
  bool wipe = false;
  bool sweeps = false;
  float sides = -1.0f;    // the most alike pair of sides, aligned
  float moved = 2.0f;     // of the sides' difference, the least share a shift leaves
  float farMoved = 2.0f;  // farMovedShare of the sides where moved is large, searched under 0.3
  // Where the sides differ and no near move explains them, the longest sure move
  // of a pair between them, in widths, searched until one is long enough to refuse.
  float swing = 0.0f;
};

// Whether a review bears a gradual transition out: its sides differ, its
// frames mix or split its ends, and no camera's move explains them, near or
// far, with its exposure changed or not, or swung the view between them.
bool bearsOutTransition(const SpanReview& review);

// How many frames beyond its ends reviewSpan reads for a transition.
int spanReach(Transition t);
// Reviews transition t, whose sides are read from the frames of `shots` only:
// from the first frame after the cut before t to the last before the cut
// after it, so that the sides are t's own shots, not their neighbours.
SpanReview reviewSpan(const SketchRun& run, Transition t, Transition shots);

// What the second look learnt from the sketches while the scan ran, for the
// reviews after it; each vector has one entry per frame or per pair.
struct SketchFindings {
  std::vector<float> differences;                   // of each pair; -1 where a frame is missing
  std::vector<float> spreads;                       // of each frame; -1 where it is missing
  std::vector<int8_t> breaks;                       // of each pair: -1 not looked at, else breaksAt
  std::map<int, float> pairSimilarities;            // aligned, of each pair whose break was checked
  std::vector<int> standingOut;                     // pairs standsOutAsCut, in order
  std::map<std::pair<int, int>, SpanReview> spans;  // by first and last frame
  std::vector<Transition> stretches;                // gradual transitions the sketches show
};

// Drops the cuts (boundaries of the cutCount cut shots, from detectCuts)
// that do not break as cuts do, merging their shots, and returns how many cut
// shots remain. Done before the gradual candidates are typed and merged, so
// that no false cut keeps one out.
int dropContinuingCuts(ShotRecord* cutShots, int cutCount, const SketchFindings& findings);

// The shots with every boundary the findings do not bear out dropped (the two
// shots merge and take the type of the later one's end): a cut that does not
// break, a gradual transition whose sides show one shot or whose frames
// neither mix nor split its ends. A wipe the typing erased is kept where its
// frames sweep from one side to the other; a cut the scan missed is added
// where a pair stands out and breaks; every dip through a plain picture
// becomes one dissolve, or no boundary at either end of the video.
// `profiles` (frameCount - 1 entries) are as typed; `candidates` as the typing
// was given them. `shots` must cover frames 1 .. frameCount in order.
std::vector<ShotRecord> refineShots(const std::vector<ShotRecord>& shots,
                                    const SketchFindings& findings, const PairProfile* profiles,
                                    const std::vector<TransitionCandidate>& candidates);

}  // namespace shotscene

#endif  // SHOTSCENE_SHOTS_BOUNDARY_REVIEW_H_
