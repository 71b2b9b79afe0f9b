// Three JPEG keyframes of every shot, in a folder named after the video.
#ifndef SHOTSCENE_SHOTS_SHOT_KEYFRAMES_H_
#define SHOTSCENE_SHOTS_SHOT_KEYFRAMES_H_

#include <string>
#include <vector>

#include "common/keyframe_images.h"
#include "shots/shot_types.h"
#include "video/video.h"

namespace shotscene {

struct KeyframeOutcome {
  bool lastShotUnreadable = false;  // the last shot's keyframes could not be decoded
  bool complete = true;  // false when the folder or an image could not be written (reported)
  std::string folder;
  ImageWrites images;
};

// Writes shotN_J.jpg (J = 1..3) at the decoded size for every shot whose three
// keyframes all decode; a shot with an undecodable keyframe gets no images.
KeyframeOutcome extractShotKeyframes(const Video& video, const std::vector<ShotRecord>& shots,
                                     const std::string& kfPath);

// Once the shot list of a complete extraction is written: removes the images
// named shotN_J.jpg in its folder that it did not write. False when a removal
// failed (reported).
bool removeStaleShotKeyframes(const KeyframeOutcome& outcome);

}  // namespace shotscene

#endif  // SHOTSCENE_SHOTS_SHOT_KEYFRAMES_H_
