// One linking pass of the scene grouping, and the votes of many passes.
#ifndef SHOTSCENE_SCENES_SHOT_LINKING_H_
#define SHOTSCENE_SCENES_SHOT_LINKING_H_

#include <cstdint>
#include <vector>

#include "scenes/scene_random.h"
#include "scenes/scene_types.h"

namespace shotscene {

// Shots whose gap (first frame of the later minus last frame of the earlier,
// minus one) is this many frames or more are never linked.
inline constexpr double kNeverLinkedGap = 4300.0;
inline constexpr int kGroupingPasses = 10000;

// What one run keeps between passes. Only pairs closer than kNeverLinkedGap
// can ever link, so each shot keeps the band of later shots up to the first
// one beyond which every pair is too far apart, with their cached distances:
// memory grows with the shot count, not its square.
struct LinkingTables {
  int shotCount = 0;
  std::vector<float> first, last;   // frames of shot k
  std::vector<float> minFirstFrom;  // smallest first frame among shots k..n-1
  std::vector<int> bandEnd;         // one past the last later shot k may link with
  std::vector<int64_t> bandOffset;  // where shot k's distances start in `distances`
  std::vector<float> distances;     // of (k, k + d) at bandOffset[k] + d - 1; NaN until computed
  // Scratch of one pass.
  std::vector<int> passEnd, coveredTo, bucketStart, order;
  std::vector<uint64_t> active;
};

// Time exclusion: sets up the bands of the first n shots.
LinkingTables makeLinkingTables(const std::vector<StoredShot>& shots, int n);

// Smallest of the nine Euclidean distances between the samples of shots i and
// j, each summed and rooted in single precision.
float computeShotDistance(const SignatureTable& signatures, int i, int j);

// One pass: sweeps pairs from the widest span to the narrowest, links a pair
// whose gap is at most `window` and whose distance is below `threshold`, and
// closes every pair inside a linked span for the rest of the pass. Replaces
// `links` and returns their count.
int linkSimilarShots(LinkingTables& tables, const SignatureTable& signatures, int window,
                     double threshold, std::vector<ShotLink>& links);

// Shots 1..n-1 that no link spans, in increasing order; replaces `starts`.
int findSceneStarts(const std::vector<ShotLink>& links, int n, std::vector<int>& starts);

// Runs `passes` passes, each drawing its window and then its threshold from
// `random`; vote[k] counts the passes in which shot k started a scene.
std::vector<int> countSceneVotes(const std::vector<StoredShot>& shots, int n,
                                 const SignatureTable& signatures, SceneRandom& random,
                                 int passes = kGroupingPasses);

// The shots 2..n-2 at which the votes start a new scene, in order.
std::vector<int> decideSceneStarts(const std::vector<int>& votes, int n);

}  // namespace shotscene

#endif  // SHOTSCENE_SCENES_SHOT_LINKING_H_
