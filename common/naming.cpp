#include "common/naming.h"

#include <filesystem>

#include "common/formatting.h"

namespace shotscene {

namespace {

std::string keyframeImage(const std::string& folder, const char* word, int number, int keyframe) {
  return folder + "/" + word + numberToString(number) + "_" + numberToString(keyframe) + ".jpg";
}

// A run of digits without a leading zero at `at`; moves `at` past it.
bool takeNumber(const std::string& name, size_t& at) {
  if (at >= name.size() || name[at] < '1' || name[at] > '9') return false;
  while (at < name.size() && name[at] >= '0' && name[at] <= '9') ++at;
  return true;
}

}  // namespace

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

std::string exportStem(const std::string& videoPath, const std::string& outDir) {
  const std::string stem = outputStem(videoPath);
  if (outDir.empty()) return stem;
  return (std::filesystem::path(outDir) / std::filesystem::path(stem).filename()).string();
}

std::string pieceExtension(const std::string& videoPath) {
  const std::string name = videoPath.substr(videoPath.rfind('/') + 1);
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? "mkv" : name.substr(dot + 1);
}

std::string shotKeyframeImage(const std::string& folder, int number, int keyframe) {
  return keyframeImage(folder, kShotImageWord, number, keyframe);
}

std::string sceneKeyframeImage(const std::string& folder, int number, int keyframe) {
  return keyframeImage(folder, kSceneImageWord, number, keyframe);
}

bool isKeyframeImageName(const std::string& name, const std::string& word) {
  size_t at = word.size();
  if (name.compare(0, at, word) != 0 || !takeNumber(name, at)) return false;
  if (at >= name.size() || name[at++] != '_' || !takeNumber(name, at)) return false;
  return name.compare(at, std::string::npos, ".jpg") == 0;
}

std::string thumbnailName(int number) { return "shot" + std::to_string(number) + ".jpg"; }

std::vector<OutputPath> outputPaths(const std::string& videoPath, const std::string& kfPath,
                                    const std::string& outDir) {
  const std::string stem = outputStem(videoPath);
  const std::string exported = exportStem(videoPath, outDir);
  std::vector<OutputPath> paths;
  for (const OutputName& o : kOutputNames) {
    switch (o.place) {
      case OutputPlace::kResult:
        paths.push_back({o.kind, makeOutputPath(stem, o.suffix), false});
        break;
      case OutputPlace::kShotKeyframes:
        paths.push_back({o.kind, keyframeFolder(stem, o.suffix, kfPath), true});
        break;
      case OutputPlace::kSceneKeyframes:
        paths.push_back({o.kind, keyframeFolder(stem, o.suffix, ""), true});
        break;
      case OutputPlace::kExport:
      case OutputPlace::kExportFolder:
        paths.push_back(
            {o.kind, makeOutputPath(exported, o.suffix), o.place == OutputPlace::kExportFolder});
        break;
      case OutputPlace::kPieces:
        paths.push_back(
            {o.kind, stem + o.suffix + kPieceNumber + "." + pieceExtension(videoPath), false});
        break;
    }
  }
  return paths;
}

}  // namespace shotscene
