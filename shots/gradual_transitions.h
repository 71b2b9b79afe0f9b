// Gradual-transition candidates from the similarity curve, and the final shot list.
#ifndef SHOTSCENE_SHOTS_GRADUAL_TRANSITIONS_H_
#define SHOTSCENE_SHOTS_GRADUAL_TRANSITIONS_H_

#include <vector>

#include "shots/shot_types.h"

namespace shotscene {

// A candidate scoring above this is a gradual transition's.
inline constexpr double kGradualScore = 0.3;
// Boundaries of the final list lie at least this many frames apart.
inline constexpr int kBoundarySpacing = 13;

// Where the profiles of a video stand while its measures arrive in frame
// order; the caller keeps it between calls.
struct ProfileBuilder {
  int frameCount = 0;
  int smoothed = 0;     // leading entries whose smoothed value and slope are set
  int valley = 1;       // next entry the valley search looks at
  int rightSearch = 0;  // where a waiting right-edge search goes on; 0 when none waits
  int leftEdge = 1, rightEdge = 1;
  int window = 13;  // next entry the candidate windows look at
  int final = 0;    // leading entries that later measures no longer change
};

void startPairProfiles(ProfileBuilder& b, int frameCount);

// Measures 0 .. measured - 1 are final and measured never falls between
// calls; with all frameCount - 1 of them the profiles are complete and equal
// to what buildPairProfiles gives.
void extendPairProfiles(ProfileBuilder& b, const PairMeasure* measures, PairProfile* profiles,
                        int measured);

// Fills every field but `type` of the frameCount - 1 profiles: the similarity
// smoothed over 11 pairs, its valleys, and candidates grouping the valleys of
// a 27-pair window. Videos under 28 frames get no candidate.
void buildPairProfiles(const PairMeasure* measures, PairProfile* profiles, int frameCount);

// Merges the cut shots with the candidates scoring above 0.3 that lie at least
// 13 frames from every boundary already taken, and returns the sorted shots.
// A candidate typed neither dissolve nor wipe prints "Not identifiable gradual
// transition" and becomes an abrupt boundary.
std::vector<ShotRecord> detectGradualTransitions(const ShotRecord* cutShots,
                                                 const PairProfile* profiles, int cutCount,
                                                 int frameCount);

}  // namespace shotscene

#endif  // SHOTSCENE_SHOTS_GRADUAL_TRANSITIONS_H_
