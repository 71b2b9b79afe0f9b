#include "shots/shot_files.h"

#include <gtest/gtest.h>

#include "tests/support/scratch_folder.h"

namespace shotscene {
namespace {

using testing::readWholeFile;

class ShotFilesTest : public testing::ScratchFolderTest {
 protected:
  std::string stem() const { return path("clip"); }
  const std::vector<ShotRecord> shots_ = {makeShotRecord(1, 10, kDissolve),
                                          makeShotRecord(11, 250, kWipe),
                                          makeShotRecord(251, 300, kAbrupt)};
};

TEST_F(ShotFilesTest, TypeColumnOnlyWithTransType) {
  ASSERT_TRUE(writeShotList(stem(), shots_, false, false));
  EXPECT_EQ(readWholeFile(stem() + "_shots.txt"),
            "1 10 3 5 7\n11 250 70 129 188\n251 300 263 275 287\n");
  ASSERT_TRUE(writeShotList(stem(), shots_, true, false));
  EXPECT_EQ(readWholeFile(stem() + "_shots.txt"),
            "1 10 3 5 7 1\n11 250 70 129 188 2\n251 300 263 275 287 0\n");
}

TEST_F(ShotFilesTest, UnreadableLastShotMergesIntoTheOneBefore) {
  ASSERT_TRUE(writeShotList(stem(), shots_, true, true));
  EXPECT_EQ(readWholeFile(stem() + "_shots.txt"), "1 10 3 5 7 1\n11 300 70 129 188 2\n");
  ASSERT_TRUE(writeShotList(stem(), {shots_[0]}, true, true));
  EXPECT_EQ(readWholeFile(stem() + "_shots.txt"), "");
}

TEST_F(ShotFilesTest, SubtitleLabelsAccumulateInFives) {
  std::vector<ShotRecord> many;
  for (int k = 0; k < 12; ++k) many.push_back(makeShotRecord(k * 25 + 1, k * 25 + 25, kAbrupt));
  ASSERT_TRUE(writeShotSubtitles(stem(), many, 25.0f));
  const std::string srt = readWholeFile(stem() + "_shots.srt");
  const std::string head =
      "1\n00:00:00.040 --> 00:00:01.000\nShot1 \n\n"
      "2\n00:00:01.040 --> 00:00:02.000\nShot1 Shot2 \n\n3\n";
  EXPECT_EQ(srt.substr(0, head.size()), head);
  EXPECT_NE(srt.find("5\n00:00:04.040 --> 00:00:05.000\nShot1 Shot2 Shot3 Shot4 Shot5 \n\n"
                     "6\n00:00:05.040 --> 00:00:06.000\nShot6 \n\n"),
            std::string::npos);
  const std::string tail = "12\n00:00:11.040 --> 00:00:12.000\nShot11 Shot12 \n\n";
  EXPECT_EQ(srt.substr(srt.size() - tail.size()), tail);
}

TEST_F(ShotFilesTest, UncreatableFileIsReportedWithItsPath) {
  std::filesystem::create_directory(stem() + "_shots.txt");  // stops root too
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(writeShotList(stem(), shots_, false, false));
  EXPECT_FALSE(writeShotSubtitles(path("missing/clip"), shots_, 25.0f));
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("Can not write file " + stem() + "_shots.txt"), std::string::npos) << err;
  EXPECT_NE(err.find("missing/clip_shots.srt"), std::string::npos) << err;
}

}  // namespace
}  // namespace shotscene
