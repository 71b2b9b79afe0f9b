// The shot list read back, and the scene list and scene subtitle files.
#ifndef SHOTSCENE_SCENES_SCENE_FILES_H_
#define SHOTSCENE_SCENES_SCENE_FILES_H_

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "scenes/scene_types.h"

namespace shotscene {

// The first five numbers of each line, up to the end of the file or the first
// number that cannot be read. False when the file cannot be opened.
bool readShotRecords(const std::string& path, std::vector<StoredShot>& shots);

// The scene list: scenes are written as they are decided, each start at the
// head of its line, and the last line has no line end.
void writeFirstSceneStart(std::FILE* file);
void writeSceneEnd(std::FILE* file, const SceneEntry& scene, int nextStart);
void writeLastSceneEnd(std::FILE* file, const SceneEntry& scene);
// The whole list of a shot list with a single record.
void writeSingleScene(std::FILE* file, const SceneEntry& scene);

// Start and end of each scene, read in groups of seven numbers. False when the
// list cannot be opened.
bool readSceneSpans(const std::string& path, std::vector<std::pair<float, float>>& spans);

// STEM_scenes.srt from the scene list on disk: one entry per scene, labels
// accumulating in groups of five. Failures are reported with their path.
bool writeSceneSubtitles(const std::string& sceneListPath, float fps);

}  // namespace shotscene

#endif  // SHOTSCENE_SCENES_SCENE_FILES_H_
