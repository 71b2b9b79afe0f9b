#include "scenes/scene_segmentation.h"

#include <algorithm>
#include <vector>

#include "common/formatting.h"
#include "common/keyframe_images.h"
#include "common/naming.h"
#include "common/output_file.h"
#include "common/stage_timing.h"
#include "scenes/scene_keyframes.h"
#include "scenes/scene_list.h"
#include "scenes/scene_subtitles.h"
#include "scenes/shot_linking.h"

namespace shotscene {

namespace {

// What the scenes are written from, and where their images go.
struct SceneWriter {
  OutputFile* list = nullptr;
  const std::vector<StoredShot>* shots = nullptr;
  const SignatureTable* signatures = nullptr;
  FrameReader* reader = nullptr;
  bool saveImages = false;
  std::string folder;
  ImageWrites images;
};

// Keyframes of the scene of shots s to e; returns how many are real frames.
int sceneKeyframes(const SceneWriter& w, int s, int e, SceneEntry& scene) {
  const std::vector<StoredShot>& shots = *w.shots;
  if (e - s <= 0) {
    const StoredShot& shot = shots[static_cast<size_t>(std::max(e, 0))];
    for (int k = 0; k < 3; ++k) scene.keyframes[k] = saturatingInt(shot.samples[k]);
    scene.keyframes[3] = scene.keyframes[4] = 0;
    return 3;
  }
  // The third sample of the last shot is never a candidate.
  const std::array<int, 5> slots = selectSceneKeyframes(*w.signatures, 3 * s, 3 * e + 2);
  for (int k = 0; k < 5; ++k) {
    scene.keyframes[k] = saturatingInt(shots[slots[k] / 3].samples[slots[k] % 3]);
  }
  return 5;
}

void saveKeyframes(SceneWriter& w, const SceneEntry& scene, int count, int number) {
  if (!w.saveImages) return;
  for (int k = 0; k < count; ++k) {
    saveSceneKeyframe(*w.reader, scene.keyframes[k], w.folder, number, k + 1, w.images);
  }
}

// Votes, then writes the scene list as the scenes are decided, their keyframe
// images with kfScene, and the subtitles.
int writeScenes(SceneWriter& w, const Video& video, int n, int frameCount, float fps,
                bool kfScene) {
  const std::vector<StoredShot>& shots = *w.shots;
  const std::string stem = outputStem(video.path);

  const double since = monotonicSeconds();
  SceneRandom random;
  const std::vector<int> votes = countSceneVotes(shots, std::max(n, 0), *w.signatures, random);
  reportStageTime("grouping", since);

  bool folderMade = true;
  FrameReader reader;
  if (kfScene) {
    openFrameReader(reader, video);
    w.reader = &reader;
    w.folder = keyframeFolder(stem, kSceneKeyframeSuffix, "");
    folderMade = createKeyframeFolder(w.folder);
    w.saveImages = true;
  }

  if (n == 0) {
    SceneEntry scene;
    scene.start = saturatingInt(shots[0].first);
    scene.end = saturatingInt(shots[0].last);
    const int count = sceneKeyframes(w, 0, 0, scene);
    writeSingleScene(w.list->file(), scene);
    saveKeyframes(w, scene, count, 1);
  } else if (n > 0) {
    writeFirstSceneStart(w.list->file());
    int s = 0, number = 1;
    for (const int i : decideSceneStarts(votes, n)) {
      SceneEntry scene;
      scene.end = saturatingInt(shots[i - 1].last);
      const int count = sceneKeyframes(w, s, i - 1, scene);
      writeSceneEnd(w.list->file(), scene, saturatingInt(shots[i].first));
      saveKeyframes(w, scene, count, number);
      s = i;
      ++number;
    }
    SceneEntry last;
    last.end = frameCount;
    const int count = sceneKeyframes(w, s, n - 2, last);
    writeLastSceneEnd(w.list->file(), last);
    saveKeyframes(w, last, count, number);
  }

  const bool listWritten = w.list->close();
  const bool subtitlesWritten = listWritten && writeSceneSubtitles(stem, fps);
  const bool imagesWritten = reportImageFailures(w.images);
  if (!listWritten || !subtitlesWritten) return kSceneFilesUnwritable;
  if (!folderMade || !imagesWritten) return kSceneKeyframesIncomplete;
  return !kfScene || removeUnwrittenImages(w.folder, kSceneImageWord, w.images)
             ? kSceneStageOk
             : kSceneKeyframesIncomplete;
}

}  // namespace

int runSceneSegmentation(const Video& video, const SignatureTable& signatures, bool kfScene) {
  const int frameCount = video.probe.frameCount;
  const float fps = video.probe.frameRate;
  const std::string stem = outputStem(video.path);
  const std::string shotListPath = makeOutputPath(stem, kShotListSuffix);
  const std::string sceneListPath = makeOutputPath(stem, kSceneListSuffix);

  std::vector<StoredShot> shots;
  if (!readShotRecords(shotListPath, shots)) {
    reportUnreadable(shotListPath);
    return kSceneFilesUnwritable;
  }
  const int records = static_cast<int>(shots.size());
  const int n = records - 1;
  // The table is signed from the same list; should it hold fewer samples,
  // the missing ones count as frames that did not decode.
  SignatureTable padded;
  const SignatureTable* table = &signatures;
  if (signatures.size() < shots.size() * kSamplesPerShot) {
    padded = signatures;
    padded.resize(shots.size() * kSamplesPerShot, ShotSignature{});
    table = &padded;
  }

  // Left unclosed by a failure, the list stays as it was.
  OutputFile list(sceneListPath, "w");
  if (list.file() == nullptr) return kSceneFilesUnwritable;
  SceneWriter w;
  w.list = &list;
  w.shots = &shots;
  w.signatures = table;
  return writeScenes(w, video, n, frameCount, fps, kfScene);
}

}  // namespace shotscene
