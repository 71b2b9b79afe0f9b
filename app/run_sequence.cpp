#include "app/run_sequence.h"

#include <iostream>

#include "app/shot_stage.h"
#include "common/cleanup_registry.h"
#include "common/stage_work.h"
#include "scenes/scene_segmentation.h"
#include "scenes/shot_signatures.h"

namespace shotscene {

int runShotScene(const std::string& videoPath, const RunOptions& options) {
  // Opened once; what the scan decodes lets the later passes seek and check
  // where they land.
  Video video;
  bool opened = false;
  try {
    opened = openVideo(video, videoPath);
  } catch (...) {
  }
  if (!opened) {
    reportUnusableVideo();
    return -1;
  }
  return runStages(video, options);
}

int runStages(Video& video, const RunOptions& options, std::vector<ShotRecord>* shots) {
  ShotStageOptions shotOptions;
  shotOptions.kfShot = options.kfShot;
  shotOptions.kfPath = options.kfPath;
  shotOptions.transType = options.transType;
  shotOptions.stats = options.stats;
  shotOptions.boundaries.refine = options.refineShots;
  const int shotResult = runShotSegmentation(video, shotOptions, shots);
  if (shotResult != kShotStageOk && shotResult != kShotKeyframesIncomplete) return -1;

  int sceneResult = kSceneStageOk;
  if (!options.shotsOnly) {
    std::cout << "Scene segmentation analysis..." << std::endl;
    try {
      sceneResult = runSceneSegmentation(video, computeShotSignatures(video), options.kfScene);
    } catch (const RunStopped&) {
      throw;
    } catch (...) {
      reportStageFailure(video.path, std::current_exception());
      return -1;
    }
  }
  // Failures to write were reported on stderr as they happened.
  if (shotResult != kShotStageOk || sceneResult != kSceneStageOk) return -1;
  std::cout << "Completed!" << std::endl;
  return 0;
}

}  // namespace shotscene
