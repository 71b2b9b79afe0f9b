#include "exports/export_formats.h"

#include <nlohmann/json.hpp>

#include "common/naming.h"
#include "tests/support/scratch_folder.h"
#include "tools/test_video.h"

namespace shotscene {
namespace {

using nlohmann::json;

// Results of a 100-frame video at 25 fps with a name that needs escaping everywhere.
class ExportResultsTest : public testing::ScratchFolderTest {
 protected:
  void SetUp() override {
    ScratchFolderTest::SetUp();
    ASSERT_TRUE(
        testing::writeVideo(testing::cutsPlan(cv::Size(64, 48), 1, 100), path(kName + ".avi")));
    ASSERT_TRUE(openVideo(video_, path(kName + ".avi")));
  }
  // Writes the list with that suffix, then loads the results.
  bool load(const std::string& suffix, const std::string& text) {
    std::ofstream(path(kName + suffix)) << text;
    return loadResults(video_, r_, error_);
  }
  const std::string kName = "a \"b\", c & <d> é";
  Video video_;
  ExportResults r_;
  std::string error_;
};

TEST_F(ExportResultsTest, FormatsAgreeWithTheListsAndEscapeThePath) {
  std::ofstream(path(kName + "_scenes.txt")) << "1 40 10 20 30 0 0\n41 100 48 55 62 78 85";
  ASSERT_TRUE(load("_shots.txt", "1 40 10 20 30 1\n41 70 48 55 62 2\n71 100 78 85 92 0\n"));
  const json doc = json::parse(exportJson(r_));
  EXPECT_EQ(doc["shots"][2]["scene"], 2);
  EXPECT_TRUE(doc["shots"][2]["transition"].is_null());  // the last shot ends the video
  EXPECT_EQ(doc["scenes"][1]["keyframes"], json({48, 55, 62, 78, 85}));
  const json clip = json::parse(exportOtio(r_))["tracks"]["children"][0]["children"].at(1);
  EXPECT_EQ(clip["source_range"]["start_time"]["value"], 40.0);
  EXPECT_EQ(clip["source_range"]["duration"]["value"], 30.0);
  // EDL events give source and record in and out; the out frame is exclusive.
  EXPECT_NE(exportEdl(r_).find("\n002  AX       V     C        00:00:01:15 00:00:02:20 "
                               "00:00:01:15 00:00:02:20\n"),
            std::string::npos);
  EXPECT_NE(exportCsv(r_).find("\r\n2,2,41,70,00:00:01.600,00:00:02.800,1.600,1.200,wipe\r\n"),
            std::string::npos);
  EXPECT_NE(exportFcpXml(r_).find("<name>a &quot;b&quot;, c &amp; &lt;d&gt; é.avi</name>"),
            std::string::npos);
  EXPECT_EQ(exportFcpXml(r_).find("<d>"), std::string::npos);
  EXPECT_EQ(exportVtt(r_, true).substr(0, 40), "WEBVTT\n\n1\n00:00:00.000 --> 00:00:01.600\n");
}

// A copy run elsewhere: the images are looked for beside the copy, named beside the original.
TEST_F(ExportResultsTest, ANamedCopyGivesTheOriginalsPathsForItsVideoAndImages) {
  ASSERT_TRUE(load("_shots.txt", "1 40 10 20 30 1\n41 100 48 55 62 0\n"));
  const std::string folder =
      keyframeFolder(outputStem(path(kName + ".avi")), kShotKeyframeSuffix, "");
  std::filesystem::create_directories(folder);
  std::ofstream(shotKeyframeImage(folder, 2, 3)) << "jpeg";
  r_.namedPath = "/films/" + kName + ".avi";
  const json doc = json::parse(exportJson(r_));
  EXPECT_EQ(doc["video"], r_.namedPath);
  EXPECT_EQ(doc["shots"][0]["keyframe_images"], json::array());
  EXPECT_EQ(doc["shots"][1]["keyframe_images"],
            json({shotKeyframeImage(
                keyframeFolder(outputStem(r_.namedPath), kShotKeyframeSuffix, ""), 2, 3)}));
  EXPECT_NE(exportOtio(r_).find("\"target_url\": \"/films/"), std::string::npos);
}

TEST_F(ExportResultsTest, MalformedListsNameTheFileAndLine) {
  EXPECT_FALSE(loadResults(video_, r_, error_));
  EXPECT_EQ(error_, "Can not read file " + path(kName + "_shots.txt"));
  const std::string numbers = ": expected five or six whole numbers";
  const std::string order = ": frames out of order or beyond the video";
  const std::pair<const char*, std::string> cases[] = {
      {"1 50 1 2 3\n51 100 x 60 70\n", ":2" + numbers},
      {"1 50 1 2 3 0 9\n", ":1" + numbers},
      {"1 50 1 2 3\n52 100 60 70 80\n", ":2" + order},
      {"1 150 1 2 3\n", ":1" + order},
      {"", ":1: no shot"}};
  for (const auto& [text, message] : cases) {
    EXPECT_FALSE(load("_shots.txt", text)) << text;
    EXPECT_EQ(error_, path(kName + "_shots.txt") + message);
  }
  // Without a scene list, as after --shots, the scene fields stay empty.
  ASSERT_TRUE(load("_shots.txt", "1 50 1 2 3\n51 100 60 70 80\n"));
  EXPECT_TRUE(json::parse(exportJson(r_))["shots"][0]["scene"].is_null());
  EXPECT_FALSE(load("_scenes.txt", "1 50 1 2 3 0 0\n40 100 1 2 3 4 5"));
  EXPECT_EQ(error_, path(kName + "_scenes.txt:2") + order);
  // Statistics of another video: a row short.
  std::filesystem::remove(path(kName + "_scenes.txt"));
  std::string stats = pairStatisticsHeader(false) + "\n";
  for (int frame = 1; frame < 99; ++frame) {
    stats += std::to_string(frame) + "," + std::to_string(frame + 1) + ",1,1,1,1,1,1,0,,,0\n";
  }
  EXPECT_FALSE(load("_stats.csv", stats));
  EXPECT_EQ(error_, path(kName + "_stats.csv:100: not one row per frame pair of the video"));
}

}  // namespace
}  // namespace shotscene
