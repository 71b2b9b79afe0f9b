#include "common/naming.h"

#include "common/formatting.h"

namespace shotscene {

std::string outputStem(const std::string& videoPath) {
  std::string::size_type last = 0;
  std::string::size_type hit = videoPath.find('.', 1);
  while (hit != std::string::npos) {
    last = hit;
    hit = videoPath.find('.', hit + 1);
  }
  return videoPath.substr(0, last);
}

std::string makeOutputPath(const std::string& stem, const std::string& suffix) {
  return stem + suffix;
}

std::string sanitizeFolderName(std::string name) {
  for (const char c : {'.', ',', ' ', '=', '^', '&', ';'}) {
    for (auto at = name.find(c); at != std::string::npos && at < 1000; at = name.find(c)) {
      name[at] = '_';
    }
  }
  return name;
}

std::string keyframeFolder(const std::string& stem, const std::string& suffix,
                           const std::string& kfPath) {
  const std::string folder = makeOutputPath(sanitizeFolderName(stem), suffix);
  return kfPath.empty() ? folder : kfPath + "/" + folder;
}

namespace {

std::string keyframeImage(const std::string& folder, const char* word, int number, int keyframe) {
  return folder + "/" + word + numberToString(number) + "_" + numberToString(keyframe) + ".jpg";
}

}  // namespace

std::string shotKeyframeImage(const std::string& folder, int number, int keyframe) {
  return keyframeImage(folder, "shot", number, keyframe);
}

std::string sceneKeyframeImage(const std::string& folder, int number, int keyframe) {
  return keyframeImage(folder, "scene", number, keyframe);
}

}  // namespace shotscene
