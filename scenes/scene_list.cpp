#include "scenes/scene_list.h"

#include <fstream>

#include "common/formatting.h"

namespace shotscene {

void writeFirstSceneStart(std::FILE* file) { std::fprintf(file, "%d ", 1); }

void writeSceneEnd(std::FILE* file, const SceneEntry& s, int nextStart) {
  std::fprintf(file, "%d %d %d %d %d %d\n%d ", s.end, s.keyframes[0], s.keyframes[1],
               s.keyframes[2], s.keyframes[3], s.keyframes[4], nextStart);
}

void writeLastSceneEnd(std::FILE* file, const SceneEntry& s) {
  std::fprintf(file, "%d %d %d %d %d %d", s.end, s.keyframes[0], s.keyframes[1], s.keyframes[2],
               s.keyframes[3], s.keyframes[4]);
}

void writeSingleScene(std::FILE* file, const SceneEntry& s) {
  std::fprintf(file, "%d %d %d %d %d %d %d", s.start, s.end, s.keyframes[0], s.keyframes[1],
               s.keyframes[2], s.keyframes[3], s.keyframes[4]);
}

bool readSceneSpans(const std::string& path, std::vector<std::pair<float, float>>& spans) {
  spans.clear();
  std::ifstream in(path);
  if (!in) return false;
  float group[7];
  // A group that runs into the end of the file still counts: the last line
  // has no line end.
  while (true) {
    int read = 0;
    while (read < 7 && in >> group[read]) ++read;
    if (read < 7) break;
    spans.emplace_back(group[0], group[1]);
  }
  return true;
}

bool readSceneList(const std::string& path, int frameCount, std::vector<SceneEntry>& scenes,
                   std::string& error) {
  scenes.clear();
  const auto take = [&](const std::vector<long long>* numbers) -> const char* {
    if (numbers == nullptr || numbers->size() != 7) return "expected seven whole numbers";
    const std::vector<long long>& v = *numbers;
    // A list made from a single shot record keeps that record's start.
    const long long expected = scenes.empty() ? -1 : scenes.back().end + 1;
    if ((expected >= 0 && v[0] != expected) || v[1] < v[0] || v[1] > frameCount) {
      return "frames out of order or beyond the video";
    }
    SceneEntry scene;
    scene.start = static_cast<int>(v[0]);
    scene.end = static_cast<int>(v[1]);
    for (int k = 0; k < 5; ++k) scene.keyframes[k] = static_cast<int>(v[2 + k]);
    scenes.push_back(scene);
    return nullptr;
  };
  return readWholeNumberLines(path, take, error);
}

}  // namespace shotscene
