#include "scenes/scene_files.h"

#include <fstream>
#include <sstream>

#include "common/formatting.h"
#include "common/output_file.h"

namespace shotscene {

bool readShotRecords(const std::string& path, std::vector<StoredShot>& shots) {
  shots.clear();
  std::ifstream in(path);
  if (!in) return false;
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    StoredShot shot;
    if (!(fields >> shot.first >> shot.last >> shot.samples[0] >> shot.samples[1] >>
          shot.samples[2])) {
      break;
    }
    shots.push_back(shot);
  }
  return true;
}

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

bool writeSceneSubtitles(const std::string& sceneListPath, float fps) {
  const std::string path = sceneListPath.substr(0, sceneListPath.size() - 4) + ".srt";
  std::vector<std::pair<float, float>> spans;
  const bool listRead = readSceneSpans(sceneListPath, spans);
  OutputFile output = openOutputFile(path, "w");
  std::FILE* file = output.file;
  if (file == nullptr) return false;
  std::vector<std::pair<int, int>> frames;
  for (const auto& [first, last] : spans) {
    frames.emplace_back(saturatingInt(first), saturatingInt(last));
  }
  std::fputs(subtitleEntries(frames, "Scene", fps).c_str(), file);
  const bool closed = closeOutputFile(output);
  if (!listRead) reportUnreadable(sceneListPath);
  return closed && listRead;
}

}  // namespace shotscene
