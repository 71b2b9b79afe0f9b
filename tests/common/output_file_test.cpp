#include "common/output_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

namespace shotscene {
namespace {

TEST(OutputFileTest, TemporaryNamesFitTheFolderLimitAndStayDistinctPerName) {
  const std::string pid = std::to_string(getpid());
  EXPECT_EQ(temporaryPathFor("out/clip_shots.txt"), "out/clip_shots.txt." + pid + ".tmp");
  EXPECT_EQ(temporaryPathFor("shot1_2.jpg", ".jpg"), "shot1_2.jpg." + pid + ".tmp.jpg");
  // Names of 255 characters, alike but for their end, as the files of one long stem are.
  const std::string stem = "/tmp/" + std::string(245, 'v');
  const std::string shots = temporaryPathFor(stem + "_shots.txt");
  const std::string subtitles = temporaryPathFor(stem + "_shots.srt", ".jpg");
  EXPECT_NE(shots.substr(0, shots.rfind(pid)), subtitles.substr(0, subtitles.rfind(pid)));
  for (const std::string& name : {shots, subtitles}) {
    ASSERT_EQ(name.rfind("/tmp/", 0), 0u) << name;
    const std::string base = name.substr(5);
    EXPECT_EQ(base.find('/'), std::string::npos) << name;
    EXPECT_LE(base.size(), 255u) << name;
  }
}

}  // namespace
}  // namespace shotscene
