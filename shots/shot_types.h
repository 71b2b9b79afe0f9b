// Records shared by the shot stage: frame ranges, pair measures, pair profiles and shots.
#ifndef SHOTSCENE_SHOTS_SHOT_TYPES_H_
#define SHOTSCENE_SHOTS_SHOT_TYPES_H_

#include <cstdint>
#include <vector>

namespace shotscene {

// The kind of boundary that ends a shot.
enum TransitionType : int32_t { kAbrupt = 0, kDissolve = 1, kWipe = 2 };

// Frames [first, end) given to one scan worker, counted from 0.
struct FrameRange {
  int first = 0;
  int end = 0;
};

// Similarity of frames i and i+1; all zeros when the later frame did not decode.
struct PairMeasure {
  float histCorrelation = 0.0f;
  float histAffinity = 0.0f;
  float matchRatioA = 0.0f;
  float matchRatioB = 0.0f;
  float similarity = 0.0f;
};

// Smoothed similarity curve and gradual-transition candidate of pair i.
struct PairProfile {
  float smoothed = 0.0f;
  float slope = 0.0f;
  float valleyDepth = 0.0f;
  float valleyStart = 0.0f;  // pair index, a whole number
  float valleyEnd = 0.0f;    // pair index, a whole number
  float score = 0.0f;        // 0 when no candidate is centred here
  float startFrame = 0.0f;   // 0-based frame, a whole number
  float endFrame = 0.0f;     // 0-based frame, a whole number
  float type = 0.0f;         // TransitionType as 0.0, 1.0 or 2.0
};

// A gradual-transition candidate to type into profile entry `entry`: one of
// the profile's own, or one proposed beside them. A proposal that candidates
// already cover waits for those entries: it is typed after the others, and
// only when the typing has erased every one of them.
struct TransitionCandidate {
  int entry = 0;
  PairProfile profile;
  std::vector<int> waitsFor;
};

// One shot; frames are 1-based and inclusive.
struct ShotRecord {
  int32_t start = 0;
  int32_t end = 0;
  int32_t keyframe1 = 0;
  int32_t keyframe2 = 0;
  int32_t keyframe3 = 0;
  int32_t type = kAbrupt;  // of the transition that ends the shot
};

// Fills start and end, and the keyframes at the quarter points of the shot.
inline ShotRecord makeShotRecord(int32_t start, int32_t end, int32_t type) {
  const int32_t q = (end - start) / 4;
  return ShotRecord{start, end, start + q, start + 2 * q, start + 3 * q, type};
}

}  // namespace shotscene

#endif  // SHOTSCENE_SHOTS_SHOT_TYPES_H_
