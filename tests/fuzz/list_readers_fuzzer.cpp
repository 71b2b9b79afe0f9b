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

// The strict readers' promise: an accepted list's entries follow on within
// the frame count, shots from frame 1; a refused one says why.
template <typename Entry>
void checkStrictReading(bool accepted, const std::string& error, const std::vector<Entry>& list,
                        int frameCount, int Entry::*first, int Entry::*last, bool fromOne) {
  if (!accepted && error.empty()) std::abort();
  if (accepted && fromOne && (list.empty() || list.front().*first != 1)) std::abort();
  for (size_t k = 0; accepted && k < list.size(); ++k) {
    if (list[k].*last < list[k].*first || list[k].*last > frameCount) std::abort();
    if (k > 0 && list[k].*first != list[k - 1].*last + 1) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace shotscene;
  // In a folder of its own: writing the subtitles scans the folder for stale
  // temporary files. Every reader takes the input as its list.
  const std::string folder = "/tmp/shotscene_fuzz_" + std::to_string(::getpid());
  const std::string list = folder + "/clip_scenes.txt";
  ::mkdir(folder.c_str(), 0700);
  std::ofstream(list, std::ios::binary)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  std::vector<StoredShot> shots;
  readShotRecords(list, shots);
  if (shots.size() > 1 && shots.size() < 400) {
    const int n = static_cast<int>(shots.size()) - 1;
    const SignatureTable signatures(shots.size() * kSamplesPerShot, ShotSignature{});
    SceneRandom random;
    decideSceneStarts(countSceneVotes(shots, n, signatures, random, 20), n);
  }
  for (const int frameCount : {100, INT_MAX}) {
    std::string error;
    std::vector<ListedShot> listed;
    const bool shotsRead = readShotList(list, frameCount, listed, error);
    checkStrictReading(shotsRead, error, listed, frameCount, &ListedShot::first, &ListedShot::last,
                       true);
    error.clear();
    std::vector<SceneEntry> scenes;
    const bool scenesRead = readSceneList(list, frameCount, scenes, error);
    checkStrictReading(scenesRead, error, scenes, frameCount, &SceneEntry::start, &SceneEntry::end,
                       false);
  }
  writeSceneSubtitles(folder + "/clip", 25.0f);
  std::remove(list.c_str());
  std::remove((folder + "/clip_scenes.srt").c_str());
  return 0;
}
