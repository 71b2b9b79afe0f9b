// Names of every file and folder the tool writes, derived from the video path.
#ifndef SHOTSCENE_COMMON_NAMING_H_
#define SHOTSCENE_COMMON_NAMING_H_

#include <string>

namespace shotscene {

inline constexpr char kShotListSuffix[] = "_shots.txt";
inline constexpr char kShotSubtitleSuffix[] = "_shots.srt";
inline constexpr char kShotKeyframeSuffix[] = "_Shot_Keyframes";
inline constexpr char kSceneListSuffix[] = "_scenes.txt";
inline constexpr char kSceneKeyframeSuffix[] = "_Scene_Keyframes";

// The video path cut before its last dot; a dot at index 0 never counts, so
// ".clip" and "clip" give an empty stem. A dot in a folder name counts too.
std::string outputStem(const std::string& videoPath);

// The stem followed directly by the suffix; nothing is inserted or normalised.
std::string makeOutputPath(const std::string& stem, const std::string& suffix);

// Replaces ". , = ^ & ;" and blanks by "_", each found first at an index
// below 1000; later occurrences stay. Folder separators are kept.
std::string sanitizeFolderName(std::string name);

// A keyframe folder: [kfPath "/"] sanitised stem and suffix.
std::string keyframeFolder(const std::string& stem, const std::string& suffix,
                           const std::string& kfPath);

// Keyframe image `keyframe` (from 1) of shot or scene `number` (from 1) in its
// folder: FOLDER/shotN_J.jpg and FOLDER/sceneN_J.jpg.
std::string shotKeyframeImage(const std::string& folder, int number, int keyframe);
std::string sceneKeyframeImage(const std::string& folder, int number, int keyframe);

}  // namespace shotscene

#endif  // SHOTSCENE_COMMON_NAMING_H_
