#include "common/naming.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "common/formatting.h"

namespace shotscene {
namespace {

TEST(OutputStemTest, LastDotAnywhereAfterIndexZeroCuts) {
  const struct {
    const char* path;
    const char* stem;
  } cases[] = {
      {"clip.mp4", "clip"},
      {"a.b.c.avi", "a.b.c"},
      {"videos/clip.avi", "videos/clip"},
      {"videos.old/clip", "videos"},  // the folder's dot counts when the file has none
      {"clip", ""},
      {".clip", ""},
      {"./clip.mkv", "./clip"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(outputStem(c.path), c.stem) << c.path;
}

TEST(OutputStemTest, SuffixIsAppendedWithoutSeparator) {
  EXPECT_EQ(makeOutputPath(outputStem("videos.old/clip"), kShotListSuffix), "videos_shots.txt");
  EXPECT_EQ(makeOutputPath(outputStem(".clip"), kShotSubtitleSuffix), "_shots.srt");
}

TEST(KeyframeFolderTest, SanitisingStopsAtIndexThousandAndKeepsSeparators) {
  EXPECT_EQ(sanitizeFolderName("my clip.take"), "my_clip_take");
  EXPECT_EQ(sanitizeFolderName("a,b=c^d&e;f"), "a_b_c_d_e_f");
  EXPECT_EQ(sanitizeFolderName("../v.old/x y"), "__/v_old/x_y");
  const std::string longName = std::string(999, 'a') + ". ";
  EXPECT_EQ(sanitizeFolderName(longName), std::string(999, 'a') + "_ ");
  EXPECT_EQ(keyframeFolder("videos/my clip", kShotKeyframeSuffix, ""),
            "videos/my_clip_Shot_Keyframes");
  EXPECT_EQ(keyframeFolder("videos/clip", kSceneKeyframeSuffix, "out"),
            "out/videos/clip_Scene_Keyframes");
}

TEST(NumberToStringTest, NegativeValuesGiveTheTroubleText) {
  EXPECT_EQ(numberToString(0), "0");
  EXPECT_EQ(numberToString(7), "7");
  EXPECT_EQ(numberToString(120), "120");
  EXPECT_EQ(numberToString(1000), "1000");
  EXPECT_EQ(numberToString(2147483647), "2147483647");
  EXPECT_EQ(numberToString(-3), "Trouble converting number to string.");
  EXPECT_EQ(numberToString(-10), "Trouble converting number to string.");
}

TEST(FormatTimecodeTest, PadsBelowTenAndNeverCarriesSeconds) {
  EXPECT_EQ(formatTimecode(1, 25.0f), "00:00:00.040");
  EXPECT_EQ(formatTimecode(250, 25.0f), "00:00:10.000");
  EXPECT_EQ(formatTimecode(1500, 25.0f), "00:01:00.000");
  EXPECT_EQ(formatTimecode(25 * 3600 * 10, 25.0f), "10:00:00.000");
  EXPECT_EQ(formatTimecode(25 * 3600 * 123 + 25 * 61, 25.0f), "123:01:01.000");
  // Seconds of 9.9996 are below 10 and so get the leading zero: "010.000".
  EXPECT_EQ(formatTimecode(99996, 10000.0f), "00:00:010.000");
  // 59.9996 s stays in the seconds field and prints as 60.000.
  EXPECT_EQ(formatTimecode(599996, 10000.0f), "00:00:60.000");
}

TEST(SaturatingIntTest, OutOfRangeFrameNumbersSaturateInsteadOfOverflowing) {
  EXPECT_EQ(saturatingInt(12.9), 12);
  EXPECT_EQ(saturatingInt(-12.9), -12);
  EXPECT_EQ(saturatingInt(-6.0e31), std::numeric_limits<int>::min());
  EXPECT_EQ(saturatingInt(3.0e9), std::numeric_limits<int>::max());
  EXPECT_EQ(saturatingInt(std::nan("")), 0);
  // A frame rate low enough for the hours to pass int's range still formats.
  EXPECT_FALSE(formatTimecode(2147483647, 1e-30f).empty());
}

}  // namespace
}  // namespace shotscene
