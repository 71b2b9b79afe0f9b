// The contact sheet as a browser renders it: headless Chromium on a file URL.
#include "exports/contact_sheet.h"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/scratch_folder.h"
#include "tests/support/tool_runner.h"
#include "tools/test_video.h"

namespace shotscene {
namespace {

class ContactSheetPageTest : public testing::ScratchFolderTest {};

TEST_F(ContactSheetPageTest, EveryShotHasALoadedThumbnailInItsScenesRowAndAPlaceOnTheTimeline) {
  const std::string name = "my clip & <co> #1.mp4", stem = path("my clip & <co> #1");
  const testing::VideoPlan plan = testing::demoPlan({160, 96}, 25.0, 500);
  ASSERT_TRUE(testing::writeVideo(plan, path(name), "avc1"));
  ASSERT_EQ(testing::runTool(dir_.string(), "--stats " + testing::quoted(name)).status, 0);
  const std::string exporter = testing::quoted(SHOTSCENE_EXPORT_BINARY) + " -f html " +
                               testing::quoted(path(name)) + " >/dev/null";
  ASSERT_EQ(std::system(exporter.c_str()), 0);
  const std::string page = testing::readWholeFile(stem + "_report.html");
  ASSERT_EQ(page.find("<script"), std::string::npos) << "the page must be static";
  ASSERT_EQ(page.find("http"), std::string::npos) << "the page must not reach the network";
  // A copy of the page that records, once loaded, whether each image decoded,
  // the links within the page that lead nowhere and the points of the curve.
  std::ofstream(stem + "_check.html")
      << page
      << "<script>window.addEventListener('load',()=>{for(const i of document.images)"
         "i.dataset.ok=String(i.complete&&i.naturalWidth>0);const b=document.body.dataset;"
         "b.lost=[...document.querySelectorAll('a[href^=\"#\"]')].filter(a=>!document."
         "getElementById(a.getAttribute('href').slice(1))).length;b.points=document."
         "querySelector('polyline.similarity').points.numberOfItems})</script>\n";
  const std::string command =
      "chromium --headless --no-sandbox --disable-gpu --virtual-time-budget=10000 --dump-dom " +
      testing::quoted("file://" + urlEncoded(stem + "_check.html")) + " >" +
      testing::quoted(path("dom.html")) + " 2>/dev/null </dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0) << "chromium is needed: " << command;
  const std::string dom = testing::readWholeFile(path("dom.html"));
  const int shots = testing::occurrences(testing::readWholeFile(stem + "_shots.txt"), "\n");
  EXPECT_EQ(testing::occurrences(dom, "<section class=\"scene\""),
            testing::occurrences(testing::readWholeFile(stem + "_scenes.txt"), "\n") + 1);
  EXPECT_EQ(testing::occurrences(dom, "<img "), shots);
  EXPECT_EQ(testing::occurrences(dom, "data-ok=\"true\""), shots) << dom.substr(0, 2000);
  // Each shot links to the timeline and back; the boundaries take their types from the statistics.
  EXPECT_EQ(testing::occurrences(dom, "href=\"#shot"), shots);
  EXPECT_EQ(testing::occurrences(dom, "href=\"#t"), shots);
  const std::string pairs = std::to_string(testing::frameCount(plan) - 1);
  EXPECT_NE(dom.find("<body data-lost=\"0\" data-points=\"" + pairs + "\">"), std::string::npos);
  EXPECT_EQ(testing::occurrences(dom, "<line class=\""), shots - 1);
  EXPECT_EQ(testing::occurrences(dom, "<line class=\"untyped"), 0);
  EXPECT_NE(dom.find("my clip &amp; &lt;co&gt; #1.mp4"), std::string::npos);
}

}  // namespace
}  // namespace shotscene
