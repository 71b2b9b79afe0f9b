#include "common/naming.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <utility>

#include "common/formatting.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/tool_runner.h"

namespace shotscene {
namespace {

TEST(NamingTest, StemCutsAtTheLastDotAndSanitisingStopsAtIndexThousand) {
  const std::pair<const char*, const char*> cases[] = {
      {"a.b.c.avi", "a.b.c"}, {"videos.old/clip", "videos"}, {"clip", ""},
      {".clip", ""},          {"./clip.mkv", "./clip"},      {"", ""}};
  for (const auto& [path, stem] : cases) EXPECT_EQ(outputStem(path), stem) << path;
  // Folder names are sanitised below index 1000 only, keeping the separators.
  EXPECT_EQ(sanitizeFolderName("../a,b=c^d&e;f g.h"), "__/a_b_c_d_e_f_g_h");
  EXPECT_EQ(sanitizeFolderName(std::string(999, 'a') + ". "), std::string(999, 'a') + "_ ");
}

// What shotscene-export --paths prints for a video whose results are STEM +
// suffix, keyframe folders as given, exports EXPORTED + suffix and pieces with
// extension EXT, each entry ended with `end`.
std::string listing(const std::string& stem, const std::string& shotFolder,
                    const std::string& sceneFolder, const std::string& exported,
                    const std::string& ext, char end = '\n') {
  const std::pair<const char*, std::string> entries[] = {
      {"shots", stem + "_shots.txt"},
      {"shots_srt", stem + "_shots.srt"},
      {"scenes", stem + "_scenes.txt"},
      {"scenes_srt", stem + "_scenes.srt"},
      {"stats", stem + "_stats.csv"},
      {"shot_keyframes", shotFolder + "_Shot_Keyframes/"},
      {"scene_keyframes", sceneFolder + "_Scene_Keyframes/"},
      {"csv", exported + "_shots.csv"},
      {"json", exported + "_shotscene.json"},
      {"edl", exported + "_shots.edl"},
      {"otio", exported + "_shots.otio"},
      {"xml", exported + "_shots.xml"},
      {"cuts", exported + "_cuts.txt"},
      {"shots_vtt", exported + "_shots.vtt"},
      {"scenes_vtt", exported + "_scenes.vtt"},
      {"report", exported + "_report.html"},
      {"report_files", exported + "_report_files/"},
      {"shot_pieces", stem + "-Shot-NNN." + ext},
      {"scene_pieces", stem + "-Scene-NNN." + ext}};
  std::string out;
  for (const auto& [kind, path] : entries) out += kind + ("\t" + path) + end;
  return out;
}

class PathsTest : public testing::ScratchFolderTest {};

// No video or result file exists: --paths needs neither.
TEST_F(PathsTest, EveryOutputOfARunIsListedWithItsKind) {
  const struct {
    std::string args;
    int status;
    std::string out, err;
  } cases[] = {
      {"films/clip.mp4", 0, listing("films/clip", "films/clip", "films/clip", "films/clip", "mp4"),
       ""},
      {"'a.b/c d&e.x.mkv'", 0,
       listing("a.b/c d&e.x", "a_b/c_d_e_x", "a_b/c_d_e_x", "a.b/c d&e.x", "mkv"), ""},
      // The last dot is the folder's: the outputs go beside it, the pieces get mkv.
      {"v.old/clip", 0, listing("v", "v", "v", "v", "mkv"), ""},
      {".clip", 0, listing("", "", "", "", "clip"), ""},
      {"-0 -- '-new\nline.avi'", 0,
       listing("-new\nline", "-new\nline", "-new\nline", "-new\nline", "avi", '\0'), ""},
      // Only the shot keyframes move with --kf_path; only the exports with --out.
      {"--kf_path out/kf -o ex ./clip.mp4", 0,
       listing("./clip", "out/kf/_/clip", "_/clip", "ex/clip", "mp4"), ""},
      {"-0 clip.mp4", 1, "", "--kf_path and -0 go only with --paths\n"},
      {"-p out clip.mp4", 1, "", "--kf_path and -0 go only with --paths\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const testing::Outcome r =
        testing::runExportTool(dir_.string(), (c.status == 0 ? "--paths " : "") + c.args);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir_)) << "--paths wrote something";
}

TEST(FormattingTest, NegativeNumbersGiveTheTroubleTextAndOutOfRangeOnesSaturate) {
  for (int value : {0, 120, 2147483647}) EXPECT_EQ(numberToString(value), std::to_string(value));
  EXPECT_EQ(numberToString(-10), "Trouble converting number to string.");
  EXPECT_EQ((std::vector<int>{saturatingInt(12.9), saturatingInt(-12.9), saturatingInt(-6.0e31),
                              saturatingInt(3.0e9), saturatingInt(std::nan(""))}),
            (std::vector<int>{12, -12, INT_MIN, INT_MAX, 0}));
}

TEST(FormattingTest, TimecodesPadBelowTenAndNeverCarrySeconds) {
  EXPECT_EQ(formatTimecode(25 * (3600 * 10 + 71), 25.0f), "10:01:11.000");
  // 9.9996 s is below 10, so it gets the leading zero; 59.9996 s stays in the seconds.
  EXPECT_EQ(formatTimecode(99996, 10000.0f), "00:00:010.000");
  EXPECT_EQ(formatTimecode(599996, 10000.0f), "00:00:60.000");
  // Hours past int's range at an absurdly low frame rate saturate.
  EXPECT_EQ(formatTimecode(2147483647, 1e-30f), "2147483647:2147483647:inf");
}

}  // namespace
}  // namespace shotscene
