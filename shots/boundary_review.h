// The second look's check of shot boundaries: whether the frames on either
// side of a boundary show one continuing shot, once the camera's shift is
// undone, and the shot list with the boundaries that fail it dropped.
#ifndef SHOTSCENE_SHOTS_BOUNDARY_REVIEW_H_
#define SHOTSCENE_SHOTS_BOUNDARY_REVIEW_H_

#include <vector>

#include "shots/frame_sketch.h"
#include "shots/shot_types.h"

namespace shotscene {

// Sides at least this alike, after the shift between them is undone, are one shot.
inline constexpr double kSameShot = 0.7;
// A gradual candidate's frames, as far as they are taken on trust.
inline constexpr int kLongestTransition = 60;

// The 0-based first and last frames of a transition; for a cut, the last
// frame of the old shot and the first of the new.
struct Transition {
  int first = 0;
  int last = 0;
  bool isCut() const { return last == first + 1; }
};

// Whether the pair of frames f and f + 1 is far less alike than the pairs just
// before and after it, as across a cut; also where a frame is missing.
bool breaksAt(const ShotSketches& s, int f);

// Whether the frames either side of the transition, within frames [lo, hi],
// show one continuing shot. A side without decoded frames shows nothing: the
// boundary stays. A cut must also break the run of alike neighbours (breaksAt),
// which a flash or a smear of motion blur does not.
bool continuesAcross(const ShotSketches& s, Transition t, int lo, int hi);

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

#endif  // SHOTSCENE_SHOTS_BOUNDARY_REVIEW_H_
