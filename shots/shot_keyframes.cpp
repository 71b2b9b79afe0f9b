#include "shots/shot_keyframes.h"

#include "common/cleanup_registry.h"
#include "common/naming.h"
#include "video/frame_reader.h"

namespace shotscene {

KeyframeOutcome extractShotKeyframes(const Video& video, const std::vector<ShotRecord>& shots,
                                     const std::string& kfPath) {
  KeyframeOutcome outcome;
  const std::string& folder = outcome.folder =
      keyframeFolder(outputStem(video.path), kShotKeyframeSuffix, kfPath);
  outcome.complete = createKeyframeFolder(folder);

  FrameReader reader;
  openFrameReader(reader, video);
  for (size_t n = 0; n < shots.size(); ++n) {
    throwIfStopped();
    const ShotRecord& shot = shots[n];
    const int keyframes[3] = {shot.keyframe1, shot.keyframe2, shot.keyframe3};
    cv::Mat frames[3];
    bool readable = true;
    for (int j = 0; j < 3 && readable; ++j) {
      readable = readFrameAt(reader, keyframes[j] - 1, frames[j]);
    }
    outcome.lastShotUnreadable = !readable;
    if (!readable) continue;
    for (int j = 0; j < 3; ++j) {
      writeKeyframeImage(shotKeyframeImage(folder, static_cast<int>(n + 1), j + 1), frames[j],
                         outcome.images);
    }
  }
  if (!reportImageFailures(outcome.images)) outcome.complete = false;
  return outcome;
}

bool removeStaleShotKeyframes(const KeyframeOutcome& outcome) {
  return removeUnwrittenImages(outcome.folder, kShotImageWord, outcome.images);
}

}  // namespace shotscene
