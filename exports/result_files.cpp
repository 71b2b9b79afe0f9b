#include "exports/result_files.h"

#include <fstream>

#include "common/naming.h"
#include "scenes/scene_list.h"
#include "shots/shot_list.h"

namespace shotscene {

bool loadResults(const Video& video, ExportResults& results, std::string& error) {
  results = ExportResults{};
  results.videoPath = video.path;
  results.namedPath = video.path;
  results.fps = video.probe.exactFrameRate;
  results.frameCount = video.probe.frameCount;
  const std::string stem = outputStem(video.path);
  std::vector<ListedShot> shots;
  if (!readShotList(makeOutputPath(stem, kShotListSuffix), results.frameCount, shots, error)) {
    return false;
  }
  for (const ListedShot& listed : shots) {
    ExportShot shot;
    static_cast<ListedShot&>(shot) = listed;
    results.shots.push_back(shot);
  }

  const std::string statsPath = makeOutputPath(stem, kStatsSuffix);
  if (std::ifstream(statsPath) &&
      !readPairStatistics(statsPath, results.frameCount - 1, results.pairs, error)) {
    return false;
  }

  const std::string scenePath = makeOutputPath(stem, kSceneListSuffix);
  if (!std::ifstream(scenePath)) return true;  // a --shots result
  std::vector<SceneEntry> scenes;
  if (!readSceneList(scenePath, results.frameCount, scenes, error)) return false;
  for (const SceneEntry& listed : scenes) {
    ExportScene scene;
    scene.first = listed.start;
    scene.last = listed.end;
    for (const int k : listed.keyframes) {
      if (k != 0) scene.keyframes.push_back(k);
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
