// libFuzzer target over what the scene stage reads back from disk: the shot
// list (grouped into scenes) and the scene list (turned into subtitles).
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

#include "scenes/scene_subtitles.h"
#include "scenes/shot_linking.h"

namespace {

std::string scratchPath(const char* name) {
  return "/tmp/shotscene_fuzz_" + std::to_string(::getpid()) + "_" + name;
}

void writeFile(const std::string& path, const uint8_t* data, size_t size) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace shotscene;
  const std::string shotList = scratchPath("shots.txt");
  writeFile(shotList, data, size);
  std::vector<StoredShot> shots;
  readShotRecords(shotList, shots);
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
