// Abrupt cuts from single low-similarity pairs.
#ifndef SHOTSCENE_SHOTS_CUT_DETECTION_H_
#define SHOTSCENE_SHOTS_CUT_DETECTION_H_

#include <vector>

#include "shots/shot_types.h"

namespace shotscene {

// A pair less similar than this (widened to double) is a cut unless vetoed.
inline constexpr double kCutSimilarity = 0.03;

// Whether one of the sorted isolated frames lies at pair, pair + 1 or pair + 2:
// the flash that vetoes a cut at that pair.
bool isolatedNear(const std::vector<int>& sortedIsolated, int pair);

// Fills cutShots (room for max(1, frameCount - 1) records) with the shots that
// the cuts delimit and returns their count, at least 1; the last ends at
// frameCount. measures holds frameCount - 1 entries. A cut next to an isolated
// disturbance, or after four low pairs, is vetoed; after a cut the next half
// second of pairs is not examined. isolatedFrames is consumed.
int detectCuts(const PairMeasure* measures, ShotRecord* cutShots, int frameCount, float frameRate,
               std::vector<int> isolatedFrames);

}  // namespace shotscene

#endif  // SHOTSCENE_SHOTS_CUT_DETECTION_H_
