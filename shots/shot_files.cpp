#include "shots/shot_files.h"

#include <cstdio>

#include "common/formatting.h"
#include "common/naming.h"
#include "common/output_file.h"

namespace shotscene {

namespace {

void printShotLine(std::FILE* file, const ShotRecord& r, bool withType) {
  if (withType) {
    std::fprintf(file, "%d %d %d %d %d %d\n", r.start, r.end, r.keyframe1, r.keyframe2, r.keyframe3,
                 r.type);
  } else {
    std::fprintf(file, "%d %d %d %d %d\n", r.start, r.end, r.keyframe1, r.keyframe2, r.keyframe3);
  }
}

}  // namespace

bool writeShotList(const std::string& stem, const std::vector<ShotRecord>& shots, bool withType,
                   bool lastShotUnreadable) {
  const std::string path = makeOutputPath(stem, kShotListSuffix);
  OutputFile output = openOutputFile(path, "wb");
  std::FILE* file = output.file;
  if (file == nullptr) return false;
  const size_t count = shots.size();
  if (!lastShotUnreadable) {
    for (const ShotRecord& r : shots) printShotLine(file, r, withType);
  } else if (count > 1) {
    for (size_t k = 0; k + 2 < count; ++k) printShotLine(file, shots[k], withType);
    ShotRecord merged = shots[count - 2];
    merged.end = shots[count - 1].end;
    printShotLine(file, merged, withType);
  }
  return closeOutputFile(output);
}

bool writeShotSubtitles(const std::string& stem, const std::vector<ShotRecord>& shots,
                        float frameRate) {
  const std::string path = makeOutputPath(stem, kShotSubtitleSuffix);
  OutputFile output = openOutputFile(path, "w");
  std::FILE* file = output.file;
  if (file == nullptr) return false;
  std::vector<std::pair<int, int>> spans;
  for (const ShotRecord& r : shots) spans.emplace_back(r.start, r.end);
  std::fputs(subtitleEntries(spans, "Shot", frameRate).c_str(), file);
  return closeOutputFile(output);
}

}  // namespace shotscene
