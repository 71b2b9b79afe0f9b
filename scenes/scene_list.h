// The scene list file, STEM_scenes.txt: its layout, its writer and its readers.
//
// One line per scene, "start end" and five keyframe frames (a one-shot scene
// has three and two zeros), 1-based; lines end with a line feed except the
// last. Scenes are written as they are decided: each line's start is written
// when the scene before it ends.
#ifndef SHOTSCENE_SCENES_SCENE_LIST_H_
#define SHOTSCENE_SCENES_SCENE_LIST_H_

#include <array>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "scenes/scene_types.h"

namespace shotscene {

void writeFirstSceneStart(std::FILE* file);
void writeSceneEnd(std::FILE* file, const SceneEntry& scene, int nextStart);
void writeLastSceneEnd(std::FILE* file, const SceneEntry& scene);
// The whole list of a shot list with a single record.
void writeSingleScene(std::FILE* file, const SceneEntry& scene);

// The scene stage's reading, for the subtitles: start and end of each scene,
// read in groups of seven numbers. False when the list cannot be opened.
bool readSceneSpans(const std::string& path, std::vector<std::pair<float, float>>& spans);

// The strict reading: every line seven whole numbers, each scene starting
// where the one before ended, none past `frameCount`. On failure returns
// false with a message naming the file and, for a bad line, the line.
bool readSceneList(const std::string& path, int frameCount, std::vector<SceneEntry>& scenes,
                   std::string& error);

}  // namespace shotscene

#endif  // SHOTSCENE_SCENES_SCENE_LIST_H_
