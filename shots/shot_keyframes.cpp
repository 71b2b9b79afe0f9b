#include "shots/shot_keyframes.h"

#include <filesystem>
#include <iostream>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/videoio.hpp>
#include <system_error>

#include "common/formatting.h"
#include "common/keyframe_images.h"
#include "common/naming.h"
#include "shots/video_source.h"

namespace shotscene {

KeyframeOutcome extractShotKeyframes(const std::string& videoPath,
                                     const std::vector<ShotRecord>& shots,
                                     const std::string& kfPath, const FrameIndex* index) {
  KeyframeOutcome outcome;
  const std::string folder = keyframeFolder(outputStem(videoPath), kShotKeyframeSuffix, kfPath);
  outcome.complete = createKeyframeFolder(folder);

  FrameReader reader;
  openFrameReader(reader, videoPath, index);
  ImageFailures failures;
  for (size_t n = 0; n < shots.size(); ++n) {
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
      const std::string image = folder + "/shot" + numberToString(static_cast<int>(n + 1)) + "_" +
                                numberToString(j + 1) + ".jpg";
      writeKeyframeImage(image, frames[j], failures);
    }
  }
  if (!reportImageFailures(failures)) outcome.complete = false;
  return outcome;
}

}  // namespace shotscene
