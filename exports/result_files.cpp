#include "exports/result_files.h"

#include <fstream>
#include <sstream>

#include "common/formatting.h"
#include "common/naming.h"

namespace shotscene {

namespace {

// Whole numbers of one line; false when a field is anything else.
bool parseLine(const std::string& line, std::vector<long long>& values) {
  values.clear();
  std::istringstream words(line);
  for (std::string word; words >> word;) {
    if (word.empty() || word.size() > 12 ||
        word.find_first_not_of("0123456789") != std::string::npos) {
      return false;
    }
    values.push_back(std::stoll(word));
  }
  return true;
}

std::string where(const std::string& path, int line) {
  return path + ":" + std::to_string(line) + ": ";
}

}  // namespace

bool loadResults(const Video& video, ExportResults& results, std::string& error) {
  results = ExportResults{};
  results.videoPath = video.path;
  results.fps = video.probe.exactFrameRate;
  results.frameCount = video.probe.frameCount;
  const std::string stem = outputStem(video.path);
  const std::string shotPath = makeOutputPath(stem, kShotListSuffix);
  std::ifstream shots(shotPath);
  if (!shots) {
    error = "Can not read file " + shotPath;
    return false;
  }
  std::vector<long long> v;
  int number = 0;
  for (std::string line; std::getline(shots, line);) {
    ++number;
    if (!parseLine(line, v) || (v.size() != 5 && v.size() != 6)) {
      error = where(shotPath, number) + "expected five or six whole numbers";
      return false;
    }
    const long long expected = results.shots.empty() ? 1 : results.shots.back().last + 1;
    if (v[0] != expected || v[1] < v[0] || v[1] > results.frameCount) {
      error = where(shotPath, number) + "frames out of order or beyond the video";
      return false;
    }
    ExportShot shot;
    shot.first = static_cast<int>(v[0]);
    shot.last = static_cast<int>(v[1]);
    for (int k = 0; k < 3; ++k) shot.keyframes[k] = static_cast<int>(v[2 + k]);
    if (v.size() == 6) shot.type = static_cast<int>(v[5]);
    results.shots.push_back(shot);
  }
  if (results.shots.empty()) {
    error = where(shotPath, 1) + "no shot";
    return false;
  }

  const std::string scenePath = makeOutputPath(stem, kSceneListSuffix);
  std::ifstream scenes(scenePath);
  if (!scenes) return true;  // a --shots result
  number = 0;
  for (std::string line; std::getline(scenes, line);) {
    ++number;
    if (!parseLine(line, v) || v.size() != 7) {
      error = where(scenePath, number) + "expected seven whole numbers";
      return false;
    }
    const long long expected = results.scenes.empty() ? -1 : results.scenes.back().last + 1;
    if ((expected >= 0 && v[0] != expected) || v[1] < v[0] || v[1] > results.frameCount) {
      error = where(scenePath, number) + "frames out of order or beyond the video";
      return false;
    }
    ExportScene scene;
    scene.first = static_cast<int>(v[0]);
    scene.last = static_cast<int>(v[1]);
    for (int k = 2; k < 7; ++k) {
      if (v[k] != 0) scene.keyframes.push_back(static_cast<int>(v[k]));
    }
    results.scenes.push_back(scene);
  }
  for (ExportShot& shot : results.shots) {
    for (size_t s = 0; s < results.scenes.size(); ++s) {
      if (shot.first >= results.scenes[s].first && shot.first <= results.scenes[s].last) {
        shot.scene = static_cast<int>(s + 1);
      }
    }
  }
  return true;
}

}  // namespace shotscene
