// The shot list file, STEM_shots.txt: its layout, its writer and its readers.
//
// One line per shot, "start end keyframe1 keyframe2 keyframe3" and, when the
// type column is asked for, " type" (0 abrupt, 1 dissolve, 2 wipe); frames
// are 1-based and inclusive, each line ends with a line feed alone.
#ifndef SHOTSCENE_SHOTS_SHOT_LIST_H_
#define SHOTSCENE_SHOTS_SHOT_LIST_H_

#include <array>
#include <string>
#include <vector>

#include "shots/shot_types.h"

namespace shotscene {

// The shots as the list holds them. When the last shot could not be decoded
// it is merged into the one before it: start, keyframes and type of the
// second-to-last, end of the last (a lone shot leaves the list empty).
std::vector<ShotRecord> listedShots(const std::vector<ShotRecord>& shots, bool lastShotUnreadable);

// Writes STEM_shots.txt with the listedShots. Returns false, after reporting
// the path on standard error, when the file cannot be written.
bool writeShotList(const std::string& stem, const std::vector<ShotRecord>& shots, bool withType,
                   bool lastShotUnreadable);

// A line read back by the scene stage: first and last frame and the three
// keyframes, which the scene stage samples, as floats.
struct StoredShot {
  float first = 0.0f;
  float last = 0.0f;
  std::array<float, 3> samples{};
};

// The scene stage's reading: the first five numbers of each line, up to the
// end of the file or the first line whose five numbers cannot be read. False
// when the file cannot be opened.
bool readShotRecords(const std::string& path, std::vector<StoredShot>& shots);

// A line read back and checked.
struct ListedShot {
  int first = 0, last = 0;
  std::array<int, 3> keyframes{};
  int type = -1;  // -1 when the list has no type column
};

// The strict reading: every line five or six whole numbers, the shots
// following on from frame 1, none past `frameCount`, at least one shot. On
// failure returns false with a message naming the file and, for a bad line,
// the line ("PATH:LINE: ...").
bool readShotList(const std::string& path, int frameCount, std::vector<ListedShot>& shots,
                  std::string& error);

}  // namespace shotscene

#endif  // SHOTSCENE_SHOTS_SHOT_LIST_H_
