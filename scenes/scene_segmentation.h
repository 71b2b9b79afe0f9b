// The scene stage: groups the shots of the shot list into scenes.
#ifndef SHOTSCENE_SCENES_SCENE_SEGMENTATION_H_
#define SHOTSCENE_SCENES_SCENE_SEGMENTATION_H_

#include <string>

#include "scenes/scene_types.h"
#include "video/video.h"

namespace shotscene {

inline constexpr int kSceneStageOk = 0;
inline constexpr int kSceneFilesUnwritable = -1;     // the failed path was reported on stderr
inline constexpr int kSceneKeyframesIncomplete = 1;  // reported on stderr; files are complete

// Reads STEM_shots.txt back, votes, and writes STEM_scenes.txt,
// STEM_scenes.srt and, with kfScene, the scene keyframe images; once all are
// written, the images of the scene keyframe folder it did not write are removed.
int runSceneSegmentation(const Video& video, const SignatureTable& signatures, bool kfScene);

}  // namespace shotscene

#endif  // SHOTSCENE_SCENES_SCENE_SEGMENTATION_H_
