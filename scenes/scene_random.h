// The scene grouping's own random draws: the classic C library generator,
// 0 to 32767, so runs repeat exactly on every platform.
#ifndef SHOTSCENE_SCENES_SCENE_RANDOM_H_
#define SHOTSCENE_SCENES_SCENE_RANDOM_H_

#include <cstdint>

namespace shotscene {

inline constexpr int kRandomMax = 32767;

// One state per run, starting at 1 and never reseeded.
struct SceneRandom {
  uint32_t state = 1;
};

// state = state * 214013 + 2531011 (mod 2^32); returns (state >> 16) & 0x7FFF.
int nextRandom(SceneRandom& random);

// The time window of a pass, 700 to 4999 frames, from a draw.
int drawWindow(int draw);
// The distance threshold of a pass, 0.0 to 0.75, from a draw.
double drawThreshold(int draw);

}  // namespace shotscene

#endif  // SHOTSCENE_SCENES_SCENE_RANDOM_H_
