#include "shots/shot_list.h"

#include <cstdio>
#include <fstream>
#include <sstream>

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

std::vector<ShotRecord> listedShots(const std::vector<ShotRecord>& shots, bool lastShotUnreadable) {
  if (!lastShotUnreadable) return shots;
  std::vector<ShotRecord> listed;
  if (shots.size() > 1) {
    listed.assign(shots.begin(), shots.end() - 1);
    listed.back().end = shots.back().end;
  }
  return listed;
}

bool writeShotList(const std::string& stem, const std::vector<ShotRecord>& shots, bool withType,
                   bool lastShotUnreadable) {
  const std::string path = makeOutputPath(stem, kShotListSuffix);
  OutputFile output(path, "wb");
  std::FILE* file = output.file();
  if (file == nullptr) return false;
  for (const ShotRecord& r : listedShots(shots, lastShotUnreadable)) {
    printShotLine(file, r, withType);
  }
  return output.close();
}

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

bool readShotList(const std::string& path, int frameCount, std::vector<ListedShot>& shots,
                  std::string& error) {
  shots.clear();
  const auto take = [&](const std::vector<long long>* numbers) -> const char* {
    if (numbers == nullptr || (numbers->size() != 5 && numbers->size() != 6)) {
      return "expected five or six whole numbers";
    }
    const std::vector<long long>& v = *numbers;
    const long long expected = shots.empty() ? 1 : shots.back().last + 1;
    if (v[0] != expected || v[1] < v[0] || v[1] > frameCount) {
      return "frames out of order or beyond the video";
    }
    ListedShot shot;
    shot.first = static_cast<int>(v[0]);
    shot.last = static_cast<int>(v[1]);
    for (int k = 0; k < 3; ++k) shot.keyframes[k] = static_cast<int>(v[2 + k]);
    if (v.size() == 6) shot.type = static_cast<int>(v[5]);
    shots.push_back(shot);
    return nullptr;
  };
  if (!readWholeNumberLines(path, take, error)) return false;
  if (shots.empty()) {
    error = path + ":1: no shot";
    return false;
  }
  return true;
}

}  // namespace shotscene
