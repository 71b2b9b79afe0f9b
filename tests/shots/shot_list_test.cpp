#include "shots/shot_list.h"

#include <gtest/gtest.h>

#include "shots/shot_subtitles.h"
#include "tests/support/scratch_folder.h"

namespace shotscene {
namespace {

using testing::readWholeFile;

class ShotFilesTest : public testing::ScratchFolderTest {};

// Without the type column the list is the command-line tests' business.
TEST_F(ShotFilesTest, TypeColumnAndUnreadableLastShotChangeOnlyTheirLines) {
  const std::vector<ShotRecord> three = {makeShotRecord(1, 10, kDissolve),
                                         makeShotRecord(11, 250, kWipe),
                                         makeShotRecord(251, 300, kAbrupt)};
  const auto list = [this](const std::vector<ShotRecord>& shots, bool lastUnreadable) {
    EXPECT_TRUE(writeShotList(path("clip"), shots, true, lastUnreadable));
    return readWholeFile(path("clip_shots.txt"));
  };
  EXPECT_EQ(list(three, false), "1 10 3 5 7 1\n11 250 70 129 188 2\n251 300 263 275 287 0\n");
  // Start, keyframes and type of the second-to-last shot, end of the last.
  EXPECT_EQ(list(three, true), "1 10 3 5 7 1\n11 300 70 129 188 2\n");
  EXPECT_EQ(list({three[0]}, true), "");
}

// Labels accumulate as for scenes (the same writer, tested there in groups of
// five); failing to write is reported as for the shot list (command-line tests).
TEST_F(ShotFilesTest, SubtitlesNameShotsAtTheFrameRate) {
  const std::vector<ShotRecord> shots = {makeShotRecord(1, 25, kAbrupt),
                                         makeShotRecord(26, 50, kWipe)};
  ASSERT_TRUE(writeShotSubtitles(path("clip"), shots, 25.0f));
  EXPECT_EQ(readWholeFile(path("clip_shots.srt")),
            "1\n00:00:00.040 --> 00:00:01.000\nShot1 \n\n"
            "2\n00:00:01.040 --> 00:00:02.000\nShot1 Shot2 \n\n");
}

}  // namespace
}  // namespace shotscene
