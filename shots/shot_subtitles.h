// The shot subtitle file, STEM_shots.srt: one SubRip entry per shot.
#ifndef SHOTSCENE_SHOTS_SHOT_SUBTITLES_H_
#define SHOTSCENE_SHOTS_SHOT_SUBTITLES_H_

#include <string>
#include <vector>

#include "shots/shot_types.h"

namespace shotscene {

// One entry per shot, timed from its first to its last frame; labels
// accumulate in groups of five ("Shot1 Shot2 "). Returns false, after
// reporting the path, on failure.
bool writeShotSubtitles(const std::string& stem, const std::vector<ShotRecord>& shots,
                        float frameRate);

}  // namespace shotscene

#endif  // SHOTSCENE_SHOTS_SHOT_SUBTITLES_H_
