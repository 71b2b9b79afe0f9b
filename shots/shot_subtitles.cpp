#include "shots/shot_subtitles.h"

#include <cstdio>

#include "common/formatting.h"
#include "common/naming.h"
#include "common/output_file.h"

namespace shotscene {

bool writeShotSubtitles(const std::string& stem, const std::vector<ShotRecord>& shots,
                        float frameRate) {
  const std::string path = makeOutputPath(stem, kShotSubtitleSuffix);
  OutputFile output(path, "w");
  std::FILE* file = output.file();
  if (file == nullptr) return false;
  std::vector<std::pair<int, int>> spans;
  for (const ShotRecord& r : shots) spans.emplace_back(r.start, r.end);
  std::fputs(subtitleEntries(spans, "Shot", frameRate).c_str(), file);
  return output.close();
}

}  // namespace shotscene
