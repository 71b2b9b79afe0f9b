#include "shots/shot_files.h"

#include <gtest/gtest.h>

#include "tests/support/scratch_folder.h"

namespace shotscene {
namespace {

using testing::readWholeFile;

class ShotFilesTest : public testing::ScratchFolderTest {};

TEST_F(ShotFilesTest, TypeColumnAndUnreadableLastShotChangeOnlyTheirLines) {
  const std::vector<ShotRecord> three = {makeShotRecord(1, 10, kDissolve),
                                         makeShotRecord(11, 250, kWipe),
                                         makeShotRecord(251, 300, kAbrupt)};
  const struct {
    std::vector<ShotRecord> shots;
    bool withType, lastUnreadable;
    const char* list;
  } cases[] = {
      {three, false, false, "1 10 3 5 7\n11 250 70 129 188\n251 300 263 275 287\n"},
      {three, true, false, "1 10 3 5 7 1\n11 250 70 129 188 2\n251 300 263 275 287 0\n"},
      {three, true, true, "1 10 3 5 7 1\n11 300 70 129 188 2\n"},  // start and type of shot 2
      {{three[0]}, true, true, ""},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(writeShotList(path("clip"), c.shots, c.withType, c.lastUnreadable));
    EXPECT_EQ(readWholeFile(path("clip_shots.txt")), c.list);
  }
}

// Labels accumulate as for scenes (the same writer, tested there in groups of five).
TEST_F(ShotFilesTest, SubtitlesNameShotsAtTheFrameRateAndFailuresNameTheFile) {
  const std::vector<ShotRecord> shots = {makeShotRecord(1, 25, kAbrupt),
                                         makeShotRecord(26, 50, kWipe)};
  ASSERT_TRUE(writeShotSubtitles(path("clip"), shots, 25.0f));
  EXPECT_EQ(readWholeFile(path("clip_shots.srt")),
            "1\n00:00:00.040 --> 00:00:01.000\nShot1 \n\n"
            "2\n00:00:01.040 --> 00:00:02.000\nShot1 Shot2 \n\n");
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(writeShotSubtitles(path("missing/clip"), shots, 25.0f));
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("Can not write file " +
                                                          path("missing/clip_shots.srt")),
            std::string::npos);
}

}  // namespace
}  // namespace shotscene
