#include "scenes/scene_subtitles.h"

#include <utility>
#include <vector>

#include "common/formatting.h"
#include "common/naming.h"
#include "common/output_file.h"
#include "scenes/scene_list.h"

namespace shotscene {

bool writeSceneSubtitles(const std::string& stem, float fps) {
  const std::string sceneListPath = makeOutputPath(stem, kSceneListSuffix);
  const std::string path = makeOutputPath(stem, kSceneSubtitleSuffix);
  std::vector<std::pair<float, float>> spans;
  const bool listRead = readSceneSpans(sceneListPath, spans);
  OutputFile output(path, "w");
  std::FILE* file = output.file();
  if (file == nullptr) return false;
  std::vector<std::pair<int, int>> frames;
  for (const auto& [first, last] : spans) {
    frames.emplace_back(saturatingInt(first), saturatingInt(last));
  }
  std::fputs(subtitleEntries(frames, "Scene", fps).c_str(), file);
  const bool closed = output.close();
  if (!listRead) reportUnreadable(sceneListPath);
  return closed && listRead;
}

}  // namespace shotscene
