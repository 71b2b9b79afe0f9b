// Gradual-transition candidates from the similarity curve, and the final shot list.
#ifndef SHOTSCENE_SHOTS_GRADUAL_TRANSITIONS_H_
#define SHOTSCENE_SHOTS_GRADUAL_TRANSITIONS_H_

#include <vector>

#include "shots/shot_types.h"

namespace shotscene {

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
