// Outputs given up part-way, by an exception or a stop request, leave no temporary file.
#include "common/output_file.h"

#include <gtest/gtest.h>

#include <functional>
#include <opencv2/core.hpp>
#include <stdexcept>

#include "common/cleanup_registry.h"
#include "common/keyframe_images.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/tool_runner.h"

namespace shotscene {
namespace {

class OutputFileTest : public testing::ScratchFolderTest {
 protected:
  void TearDown() override {
    clearStopRequest();
    ScratchFolderTest::TearDown();
  }
};

TEST_F(OutputFileTest, AbandonedWriteLeavesTheOldFileAndNoTemporary) {
  const auto writeThen = [](const std::function<void()>& between) {
    return [between](const std::string& path) {
      OutputFile out(path, "wb");
      ASSERT_NE(out.file(), nullptr);
      std::fputs("new\n", out.file());
      between();
      out.close();
    };
  };
  const struct {
    const char* label;
    std::function<void(const std::string&)> write;
    const char* thrown;
  } cases[] = {
      {"exception before close", writeThen([] { throw std::runtime_error("failed part-way"); }),
       "failed part-way"},
      {"stop before close", writeThen(requestStop), "run stopped"},
      {"stop before open",
       [](const std::string& path) {
         requestStop();
         OutputFile out(path, "wb");
       },
       "run stopped"},
      {"stop before an image",
       [](const std::string& path) {
         requestStop();
         ImageWrites writes;
         writeKeyframeImage(path, cv::Mat(8, 8, CV_8UC3, cv::Scalar::all(0)), writes);
       },
       "run stopped"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    std::ofstream(path("out.jpg")) << "old\n";
    try {
      c.write(path("out.jpg"));
      ADD_FAILURE() << "nothing thrown";
    } catch (const std::runtime_error& e) {
      EXPECT_STREQ(e.what(), c.thrown);
      EXPECT_EQ(dynamic_cast<const RunStopped*>(&e) != nullptr,
                std::string(c.thrown) == "run stopped");
    }
    EXPECT_EQ(testing::readWholeFile(path("out.jpg")), "old\n");
    EXPECT_EQ(testing::temporaryFiles(dir_.string()), std::vector<std::string>{});
    clearStopRequest();
  }
  // Cleared, the next run writes again.
  EXPECT_TRUE(writeWholeFile(path("out.jpg"), "next\n"));
  EXPECT_EQ(testing::readWholeFile(path("out.jpg")), "next\n");
}

}  // namespace
}  // namespace shotscene
