// Names of every file and folder the tools write, derived from the video path, and their parsers.
#ifndef SHOTSCENE_COMMON_NAMING_H_
#define SHOTSCENE_COMMON_NAMING_H_

#include <string>
#include <vector>

namespace shotscene {

// shotscene's results.
inline constexpr char kShotListSuffix[] = "_shots.txt";
inline constexpr char kShotSubtitleSuffix[] = "_shots.srt";
inline constexpr char kShotKeyframeSuffix[] = "_Shot_Keyframes";
inline constexpr char kSceneListSuffix[] = "_scenes.txt";
inline constexpr char kSceneSubtitleSuffix[] = "_scenes.srt";
inline constexpr char kSceneKeyframeSuffix[] = "_Scene_Keyframes";
inline constexpr char kStatsSuffix[] = "_stats.csv";
// shotscene-export's files.
inline constexpr char kCsvSuffix[] = "_shots.csv";
inline constexpr char kJsonSuffix[] = "_shotscene.json";
inline constexpr char kEdlSuffix[] = "_shots.edl";
inline constexpr char kOtioSuffix[] = "_shots.otio";
inline constexpr char kXmlSuffix[] = "_shots.xml";
inline constexpr char kCutsSuffix[] = "_cuts.txt";
inline constexpr char kShotVttSuffix[] = "_shots.vtt";
inline constexpr char kSceneVttSuffix[] = "_scenes.vtt";
inline constexpr char kReportSuffix[] = "_report.html";
inline constexpr char kReportFilesSuffix[] = "_report_files";
// What stands for the three-digit number (001, 002, ...) in the pieces' name.
inline constexpr char kPieceNumber[] = "NNN";
// The words keyframe images are named with.
inline constexpr char kShotImageWord[] = "shot";
inline constexpr char kSceneImageWord[] = "scene";

// Where an output lies, and so how its path is made from the suffix.
enum class OutputPlace {
  kResult,          // STEM + suffix, beside the video
  kShotKeyframes,   // keyframeFolder(STEM, suffix, --kf_path)
  kSceneKeyframes,  // keyframeFolder(STEM, suffix, ""): beside the video
  kExport,          // exportStem() + suffix
  kExportFolder,    // likewise, a folder
  kPieces,          // shotscene-split's: STEM + suffix + kPieceNumber + "." + pieceExtension()
};

// An output of the tools and the word that names it in shotscene-export --paths.
struct OutputName {
  const char* kind;
  const char* suffix;
  OutputPlace place;
};

// Every output, in the order --paths lists them: shotscene's, shotscene-export's,
// shotscene-split's.
inline constexpr OutputName kOutputNames[] = {
    {"shots", kShotListSuffix, OutputPlace::kResult},
    {"shots_srt", kShotSubtitleSuffix, OutputPlace::kResult},
    {"scenes", kSceneListSuffix, OutputPlace::kResult},
    {"scenes_srt", kSceneSubtitleSuffix, OutputPlace::kResult},
    {"stats", kStatsSuffix, OutputPlace::kResult},
    {"shot_keyframes", kShotKeyframeSuffix, OutputPlace::kShotKeyframes},
    {"scene_keyframes", kSceneKeyframeSuffix, OutputPlace::kSceneKeyframes},
    {"csv", kCsvSuffix, OutputPlace::kExport},
    {"json", kJsonSuffix, OutputPlace::kExport},
    {"edl", kEdlSuffix, OutputPlace::kExport},
    {"otio", kOtioSuffix, OutputPlace::kExport},
    {"xml", kXmlSuffix, OutputPlace::kExport},
    {"cuts", kCutsSuffix, OutputPlace::kExport},
    {"shots_vtt", kShotVttSuffix, OutputPlace::kExport},
    {"scenes_vtt", kSceneVttSuffix, OutputPlace::kExport},
    {"report", kReportSuffix, OutputPlace::kExport},
    {"report_files", kReportFilesSuffix, OutputPlace::kExportFolder},
    {"shot_pieces", "-Shot-", OutputPlace::kPieces},
    {"scene_pieces", "-Scene-", OutputPlace::kPieces},
};

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

// The stem of shotscene-export's files: the video's, or with `outDir` (when
// not empty) that stem's last component in outDir.
std::string exportStem(const std::string& videoPath, const std::string& outDir);

// The extension of shotscene-split's pieces: what follows the last dot of the
// video's file name, or "mkv" when the name has no dot.
std::string pieceExtension(const std::string& videoPath);

// Keyframe image `keyframe` (from 1) of shot or scene `number` (from 1) in its
// folder: FOLDER/shotN_J.jpg and FOLDER/sceneN_J.jpg.
std::string shotKeyframeImage(const std::string& folder, int number, int keyframe);
std::string sceneKeyframeImage(const std::string& folder, int number, int keyframe);

// Whether a file name is WORDN_J.jpg with N and J whole numbers from 1
// without leading zeros: a keyframe image's name.
bool isKeyframeImageName(const std::string& name, const std::string& word);

// The contact sheet's thumbnail of shot `number` (from 1), in its folder: shotN.jpg.
std::string thumbnailName(int number);

// An output's path for a run on the video, with shotscene's --kf_path and shotscene-export's --out.
struct OutputPath {
  const char* kind;
  std::string path;
  bool folder;
};
std::vector<OutputPath> outputPaths(const std::string& videoPath, const std::string& kfPath,
                                    const std::string& outDir);

}  // namespace shotscene

#endif  // SHOTSCENE_COMMON_NAMING_H_
