// The shot list and the shot subtitle file.
#ifndef SHOTSCENE_SHOTS_SHOT_FILES_H_
#define SHOTSCENE_SHOTS_SHOT_FILES_H_

#include <string>
#include <vector>

#include "shots/shot_types.h"

namespace shotscene {

// "start end kf1 kf2 kf3[ type]\n" per shot, line feeds only. When the last
// shot could not be decoded its line is merged into the one before it: start,
// keyframes and type of the second-to-last, end of the last. Returns false,
// after reporting the path on standard error, when the file cannot be written.
bool writeShotList(const std::string& stem, const std::vector<ShotRecord>& shots, bool withType,
                   bool lastShotUnreadable);

// One SubRip entry per shot; labels accumulate in groups of five
// ("Shot1 Shot2 "). Returns false, after reporting the path, on failure.
bool writeShotSubtitles(const std::string& stem, const std::vector<ShotRecord>& shots,
                        float frameRate);

}  // namespace shotscene

#endif  // SHOTSCENE_SHOTS_SHOT_FILES_H_
