// The scene subtitle file, STEM_scenes.srt, made from the scene list on disk.
#ifndef SHOTSCENE_SCENES_SCENE_SUBTITLES_H_
#define SHOTSCENE_SCENES_SCENE_SUBTITLES_H_

#include <string>

namespace shotscene {

// Writes STEM_scenes.srt from STEM_scenes.txt: one entry per scene of the
// list, labels accumulating in groups of five. Failures are reported with
// their path.
bool writeSceneSubtitles(const std::string& stem, float fps);

}  // namespace shotscene

#endif  // SHOTSCENE_SCENES_SCENE_SUBTITLES_H_
