// libFuzzer target over every reader of the lists: the scene stage's tolerant
// ones (the shot list grouped into scenes, the scene list turned into
// subtitles) and the strict ones of the export, whose accepted lists must hold
// what they promise.
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "scenes/scene_list.h"
#include "scenes/scene_subtitles.h"
#include "scenes/shot_linking.h"

namespace {

// In a folder of its own: writing the subtitles scans the folder for stale
// temporary files.
std::string scratchPath(const char* name) {
  static const std::string folder = [] {
    const std::string path = "/tmp/shotscene_fuzz_" + std::to_string(::getpid());
    ::mkdir(path.c_str(), 0700);
    return path;
  }();
  return folder + "/" + name;
}

void writeFile(const std::string& path, const uint8_t* data, size_t size) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

// The strict readers' promises: shots follow on from frame 1 within the
// count, scenes follow on within it.
void checkStrictReaders(const std::string& path) {
  using namespace shotscene;
  for (const int frameCount : {100, INT_MAX}) {
    std::string error;
    std::vector<ListedShot> shots;
    if (readShotList(path, frameCount, shots, error)) {
      if (shots.empty() || shots.front().first != 1) std::abort();
      for (size_t k = 0; k < shots.size(); ++k) {
        if (shots[k].last < shots[k].first || shots[k].last > frameCount) std::abort();
        if (k > 0 && shots[k].first != shots[k - 1].last + 1) std::abort();
      }
    } else if (error.empty()) {
      std::abort();
    }
    std::vector<SceneEntry> scenes;
    error.clear();
    if (readSceneList(path, frameCount, scenes, error)) {
      for (size_t k = 0; k < scenes.size(); ++k) {
        if (scenes[k].end < scenes[k].start || scenes[k].end > frameCount) std::abort();
        if (k > 0 && scenes[k].start != scenes[k - 1].end + 1) std::abort();
      }
    } else if (error.empty()) {
      std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace shotscene;
  const std::string shotList = scratchPath("shots.txt");
  writeFile(shotList, data, size);
  std::vector<StoredShot> shots;
  readShotRecords(shotList, shots);
  checkStrictReaders(shotList);
  if (shots.size() > 1 && shots.size() < 400) {
    const int n = static_cast<int>(shots.size()) - 1;
    const SignatureTable signatures(shots.size() * kSamplesPerShot, ShotSignature{});
    SceneRandom random;
    const std::vector<int> votes = countSceneVotes(shots, n, signatures, random, 20);
    decideSceneStarts(votes, n);
  }

  const std::string sceneList = scratchPath("scenes.txt");
  writeFile(sceneList, data, size);
  writeSceneSubtitles(sceneList, 25.0f);
  std::remove(shotList.c_str());
  std::remove(sceneList.c_str());
  std::remove(scratchPath("scenes.srt").c_str());
  return 0;
}
