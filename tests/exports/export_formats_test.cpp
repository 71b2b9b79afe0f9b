#include "exports/export_formats.h"

#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "tests/support/scratch_folder.h"
#include "tests/support/test_video.h"

namespace shotscene {
namespace {

TEST(ExportTimecodeTest, MinutesAndHoursCarryAtCommonRates) {
  const struct {
    double fps;
    long long frame;  // frames from 0
    const char* clock;
    const char* timecode;
  } cases[] = {
      {24.0, 24 * 60 - 1, "00:00:59.958", "00:00:59:23"},
      {24.0, 24 * 60, "00:01:00.000", "00:01:00:00"},
      {25.0, 25 * 3600, "01:00:00.000", "01:00:00:00"},
      {25.0, 25 * 3600 - 1, "00:59:59.960", "00:59:59:24"},
      {30.0, 30 * 60 * 10, "00:10:00.000", "00:10:00:00"},
      // Fractional rates count whole frames at the rounded rate (non-drop).
      {30000.0 / 1001, 1800, "00:01:00.060", "00:01:00:00"},
      {60000.0 / 1001, 3600 * 60, "01:00:03.600", "01:00:00:00"},
      {25.0, 25LL * 3600 * 123, "123:00:00.000", "123:00:00:00"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(clockTime(c.frame / c.fps, '.'), c.clock) << c.fps << " " << c.frame;
    EXPECT_EQ(frameTimecode(c.frame, nominalRate(c.fps)), c.timecode) << c.fps << " " << c.frame;
  }
  EXPECT_EQ(clockTime(1.5, ','), "00:00:01,500");
}

TEST(ExportCsvTest, FieldsAreQuotedOnlyWhenTheyMustBe) {
  EXPECT_EQ(csvField("plain"), "plain");
  EXPECT_EQ(csvField("a,b"), "\"a,b\"");
  EXPECT_EQ(csvField("say \"cut\""), "\"say \"\"cut\"\"\"");
  EXPECT_EQ(csvField("two\nlines"), "\"two\nlines\"");
}

class ExportResultsTest : public testing::ScratchFolderTest {
 protected:
  // A 100-frame video at 25 fps with an odd name, and its result files.
  std::string video() {
    testing::VideoPlan plan;
    plan.size = cv::Size(64, 48);
    testing::addShot(plan, 1, 100);
    const std::string path = this->path("a \"b\", c & <d> é.avi");
    EXPECT_TRUE(testing::writeVideo(plan, path));
    return path;
  }
  void write(const std::string& name, const std::string& text) {
    std::ofstream(path(name)) << text;
  }
};

TEST_F(ExportResultsTest, FormatsAgreeWithTheListsAndEscapeThePath) {
  const std::string v = video();
  write("a \"b\", c & <d> é_shots.txt", "1 40 10 20 30 1\n41 70 48 55 62 2\n71 100 78 85 92 0\n");
  write("a \"b\", c & <d> é_scenes.txt", "1 40 10 20 30 0 0\n41 100 48 55 62 78 85");
  ExportResults r;
  std::string error;
  ASSERT_TRUE(loadResults(v, r, error)) << error;
  ASSERT_EQ(r.shots.size(), 3u);
  EXPECT_EQ(r.shots[2].scene, 2);

  const auto json = nlohmann::json::parse(exportJson(r));
  EXPECT_EQ(json["video"], v);
  EXPECT_EQ(json["frame_count"], 100);
  ASSERT_EQ(json["shots"].size(), 3u);
  EXPECT_EQ(json["shots"][1]["first_frame"], 41);
  EXPECT_EQ(json["shots"][1]["transition"], "wipe");
  EXPECT_TRUE(json["shots"][2]["transition"].is_null());
  EXPECT_DOUBLE_EQ(json["shots"][1]["start_seconds"].get<double>(), 1.6);
  EXPECT_EQ(json["scenes"][1]["keyframes"], nlohmann::json({48, 55, 62, 78, 85}));
  EXPECT_TRUE(json["shots"][0]["keyframe_images"].empty());  // none were saved

  const auto otio = nlohmann::json::parse(exportOtio(r));
  const auto& track = otio["tracks"]["children"][0];
  ASSERT_EQ(track["children"].size(), 3u);
  double next = 0.0;
  for (const auto& clip : track["children"]) {
    EXPECT_EQ(clip["source_range"]["start_time"]["value"].get<double>(), next);
    next += clip["source_range"]["duration"]["value"].get<double>();
  }
  EXPECT_EQ(next, 100.0);
  EXPECT_EQ(track["markers"][1]["marked_range"]["start_time"]["value"], 40.0);

  // EDL events follow on and add up to the video.
  std::istringstream edl(exportEdl(r));
  std::string previousOut = "00:00:00:00";
  int events = 0;
  for (std::string line; std::getline(edl, line);) {
    if (line.rfind("0", 0) != 0) continue;
    std::istringstream fields(line);
    std::string number, reel, track, cut, in, out;
    fields >> number >> reel >> track >> cut >> in >> out;
    EXPECT_EQ(in, previousOut);
    previousOut = out;
    ++events;
  }
  EXPECT_EQ(events, 3);
  EXPECT_EQ(previousOut, "00:00:04:00");

  const std::string csv = exportCsv(r);
  EXPECT_NE(csv.find("\r\n2,2,41,70,00:00:01.600,00:00:02.800,1.600,1.200,wipe\r\n"),
            std::string::npos)
      << csv;
  const std::string xml = exportFcpXml(r);
  EXPECT_NE(xml.find("a &quot;b&quot;, c &amp; &lt;d&gt; é.avi"), std::string::npos);
  EXPECT_EQ(xml.find("<d>"), std::string::npos);
  EXPECT_EQ(exportCuts(r), "41\n71\n");
  EXPECT_EQ(exportVtt(r, true).substr(0, 40), "WEBVTT\n\n1\n00:00:00.000 --> 00:00:01.600\n");
}

TEST_F(ExportResultsTest, MalformedListsNameTheFileAndLine) {
  const std::string v = video();
  const std::string shots = path("a \"b\", c & <d> é_shots.txt");
  ExportResults r;
  std::string error;
  EXPECT_FALSE(loadResults(v, r, error));
  EXPECT_EQ(error, "Can not read file " + shots);
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"1 50 1 2 3\n51 100 x 60 70\n", ":2: expected five or six whole numbers"},
      {"1 50 1 2 3 0 9\n", ":1: expected five or six whole numbers"},
      {"1 50 1 2 3\n52 100 60 70 80\n", ":2: frames out of order or beyond the video"},
      {"1 150 1 2 3\n", ":1: frames out of order or beyond the video"},
      {"", ":1: no shot"},
  };
  for (const auto& c : cases) {
    write("a \"b\", c & <d> é_shots.txt", c.text);
    EXPECT_FALSE(loadResults(v, r, error)) << c.text;
    EXPECT_EQ(error, shots + c.message) << c.text;
  }
  // Without a scene list (a --shots result) the scene fields stay empty.
  write("a \"b\", c & <d> é_shots.txt", "1 50 1 2 3\n51 100 60 70 80\n");
  ASSERT_TRUE(loadResults(v, r, error)) << error;
  EXPECT_TRUE(r.scenes.empty());
  EXPECT_TRUE(nlohmann::json::parse(exportJson(r))["shots"][0]["scene"].is_null());
  write("a \"b\", c & <d> é_scenes.txt", "1 50 1 2 3 0 0\n40 100 1 2 3 4 5");
  EXPECT_FALSE(loadResults(v, r, error));
  EXPECT_EQ(error,
            path("a \"b\", c & <d> é_scenes.txt") + ":2: frames out of order or beyond the video");
}

}  // namespace
}  // namespace shotscene
