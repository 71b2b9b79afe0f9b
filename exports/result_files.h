// The tool's result files read back and checked, for the exports.
#ifndef SHOTSCENE_EXPORTS_RESULT_FILES_H_
#define SHOTSCENE_EXPORTS_RESULT_FILES_H_

#include <string>
#include <vector>

#include "shots/pair_statistics.h"
#include "shots/shot_list.h"
#include "video/video.h"

namespace shotscene {

// A line of the shot list, and the scene that holds it.
struct ExportShot : ListedShot {
  int scene = 0;  // 1-based scene holding the shot; 0 without a scene list
};

struct ExportScene {
  int first = 0, last = 0;
  std::vector<int> keyframes;  // the non-zero ones
};

struct ExportResults {
  std::string videoPath;  // where the video and its results are read
  // The path the exports give for the video and its keyframe images: videoPath, unless
  // the video is a copy of one kept elsewhere.
  std::string namedPath;
  double fps = 0.0;
  int frameCount = 0;
  std::vector<ExportShot> shots;
  std::vector<ExportScene> scenes;    // empty for a --shots result
  std::vector<PairStatistics> pairs;  // from STEM_stats.csv; empty without one
};

// Reads STEM_shots.txt and, when present, STEM_scenes.txt and STEM_stats.csv
// for the opened video. On a missing shot list or a malformed list (column
// count, non-numbers, frames out of order or beyond the video, statistics not
// of the video's pairs) returns false with a message naming the file and line.
bool loadResults(const Video& video, ExportResults& results, std::string& error);

}  // namespace shotscene

#endif  // SHOTSCENE_EXPORTS_RESULT_FILES_H_
