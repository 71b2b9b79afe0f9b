#include "common/naming.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <utility>

#include "common/formatting.h"

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
