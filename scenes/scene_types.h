// Records shared by the scene stage: signatures, links and scenes.
#ifndef SHOTSCENE_SCENES_SCENE_TYPES_H_
#define SHOTSCENE_SCENES_SCENE_TYPES_H_

#include <array>
#include <vector>

#include "shots/shot_list.h"  // StoredShot, the shot list as the scene stage reads it

namespace shotscene {

inline constexpr int kSignatureBins = 48;
inline constexpr int kSignatureLength = 3 * kSignatureBins;
inline constexpr int kSamplesPerShot = 3;

// Hue, saturation and value histograms of one sampled frame, 48 bins each,
// each block summing to 1 (all zero when its plane had no pixel in range, or
// when the frame did not decode).
using ShotSignature = std::array<float, kSignatureLength>;

// Sample k of shot s (shots counted from 0 in shot-list order) is entry 3s + k.
using SignatureTable = std::vector<ShotSignature>;

// Shots `earlier` to `later` belong to one scene.
struct ShotLink {
  int earlier = 0;
  int later = 0;
};

// One line of the scene list; a one-shot scene has keyframes 4 and 5 at 0.
struct SceneEntry {
  int start = 0;
  int end = 0;
  std::array<int, 5> keyframes{};
};

}  // namespace shotscene

#endif  // SHOTSCENE_SCENES_SCENE_TYPES_H_
