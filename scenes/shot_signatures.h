// Colour signatures of three sample frames of every shot in the shot list.
#ifndef SHOTSCENE_SCENES_SHOT_SIGNATURES_H_
#define SHOTSCENE_SCENES_SHOT_SIGNATURES_H_

#include <opencv2/core.hpp>
#include <string>

#include "scenes/scene_types.h"
#include "video/video.h"

namespace shotscene {

// Signature of a decoded 8-bit BGR frame at full size: bins of
// floor(v * 48 / upper end) with upper ends 180, 255 and 255, so a saturation
// or value of 255 falls in no bin.
ShotSignature frameSignature(const cv::Mat& frame);

// Reads STEM_shots.txt back and signs samples 3, 4 and 5 of every line. Each
// number is used as the 0-based seek position, so the frame signed is the one
// after the numbered frame; one that does not decode signs as zeros. A missing
// list gives an empty table.
SignatureTable computeShotSignatures(const Video& video);

}  // namespace shotscene

#endif  // SHOTSCENE_SCENES_SHOT_SIGNATURES_H_
