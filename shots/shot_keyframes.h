// Three JPEG keyframes of every shot, in a folder named after the video.
#ifndef SHOTSCENE_SHOTS_SHOT_KEYFRAMES_H_
#define SHOTSCENE_SHOTS_SHOT_KEYFRAMES_H_

#include <string>
#include <vector>

#include "shots/shot_types.h"
#include "video/video.h"

namespace shotscene {

struct KeyframeOutcome {
  bool lastShotUnreadable = false;  // the last shot's keyframes could not be decoded
  bool complete = true;  // false when the folder or an image could not be written (reported)
};

// Writes shotN_J.jpg (J = 1..3) at the decoded size for every shot whose three
// keyframes all decode; a shot with an undecodable keyframe gets no images.
KeyframeOutcome extractShotKeyframes(const Video& video, const std::vector<ShotRecord>& shots,
                                     const std::string& kfPath);

}  // namespace shotscene

#endif  // SHOTSCENE_SHOTS_SHOT_KEYFRAMES_H_
