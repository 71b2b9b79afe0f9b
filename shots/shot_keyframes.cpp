#include "shots/shot_keyframes.h"

#include <filesystem>
#include <iostream>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/videoio.hpp>
#include <system_error>

#include "common/formatting.h"
#include "common/naming.h"

namespace shotscene {

KeyframeOutcome extractShotKeyframes(const std::string& videoPath,
                                     const std::vector<ShotRecord>& shots,
                                     const std::string& kfPath) {
  KeyframeOutcome outcome;
  const std::string folder = keyframeFolder(outputStem(videoPath), kShotKeyframeSuffix, kfPath);
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error || !std::filesystem::is_directory(folder)) {
    std::cerr << "Can not create folder " << folder
              << (error ? ": " + error.message() : std::string()) << std::endl;
    outcome.complete = false;
  }

  cv::VideoCapture capture(videoPath);
  int failedImages = 0;
  std::string firstFailed;
  for (size_t n = 0; n < shots.size(); ++n) {
    const ShotRecord& shot = shots[n];
    const int keyframes[3] = {shot.keyframe1, shot.keyframe2, shot.keyframe3};
    cv::Mat frames[3];
    bool readable = true;
    for (int j = 0; j < 3 && readable; ++j) {
      capture.set(cv::CAP_PROP_POS_FRAMES, keyframes[j] - 1);
      readable = capture.read(frames[j]) && !frames[j].empty();
    }
    outcome.lastShotUnreadable = !readable;
    if (!readable) continue;
    for (int j = 0; j < 3; ++j) {
      const std::string image = folder + "/shot" + numberToString(static_cast<int>(n + 1)) + "_" +
                                numberToString(j + 1) + ".jpg";
      bool written = false;
      try {
        written = cv::imwrite(image, frames[j]);
      } catch (const cv::Exception&) {
      }
      if (!written && failedImages++ == 0) firstFailed = image;
    }
  }
  if (failedImages > 0) {
    std::cerr << "Can not write image " << firstFailed << " (" << failedImages
              << " images not written)" << std::endl;
    outcome.complete = false;
  }
  return outcome;
}

}  // namespace shotscene
