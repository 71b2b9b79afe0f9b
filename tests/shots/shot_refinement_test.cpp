// The second look at shot boundaries must change the scan's shots where the
// footage moves or a cut hides in similar colours, and nowhere else.
#include <gtest/gtest.h>

#include <filesystem>
#include <opencv2/imgproc.hpp>
#include <sstream>

#include "boundaries/shot_boundaries.h"
#include "shots/boundary_review.h"
#include "shots/frame_sketch.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/tool_runner.h"
#include "tools/test_video.h"

namespace shotscene {
namespace {

class ShotRefinementTest : public testing::ScratchFolderTest {};

// "end/type" of every shot, in order.
std::string listed(const std::vector<ShotRecord>& shots) {
  std::ostringstream out;
  for (const ShotRecord& s : shots) out << s.end << "/" << s.type << " ";
  return out.str();
}

struct Shots {
  std::string scanned, refined;
  int decodedAgain = 0;  // candidates the refined run's typing decoded again
};

Shots scanAndRefine(const std::string& path, const std::function<bool(int)>& unreadable) {
  Shots shots;
  for (const bool refine : {false, true}) {
    Video video;
    ShotScan scan;
    if (!openVideo(video, path) || !allocateShotScan(scan, video.probe.frameCount)) return {};
    video.unreadable = unreadable;
    BoundaryOptions options;
    options.refine = refine;
    (refine ? shots.refined : shots.scanned) = listed(findShotBoundaries(video, scan, options));
    if (refine) shots.decodedAgain = scan.typedByDecoding;
  }
  return shots;
}

// One shot of 160 frames from a shaking camera, a dark shape crossing the
// lens at frame 70: the scan splits it.
testing::VideoPlan handheldShot() {
  testing::VideoPlan plan;
  plan.grain = 3.0;
  plan.shake = 7.0;
  plan.occluders = {70};
  testing::addShot(plan, 201, 160);
  return plan;
}

// The segments seen by a camera that holds still.
testing::VideoPlan stillPlan(std::vector<testing::Segment> segments, cv::Size size = {320, 240}) {
  testing::VideoPlan plan;
  plan.size = size;
  plan.still = true;
  plan.grain = 3.0;
  plan.segments = std::move(segments);
  return plan;
}

// The moving shot the scan splits, through the whole tool: one shot, its
// keyframes and one scene, at every thread count.
TEST_F(ShotRefinementTest, RefinedShotsReachEveryOutputAlikeAtEveryThreadCount) {
  ASSERT_TRUE(testing::writeVideo(handheldShot(), path("clip.avi")));
  for (const char* threads : {"1", "2", "4"}) {
    const testing::Outcome r =
        testing::runTool(dir_.string(), "--refine_shots --trans_type --kf_shot --kf_scene clip.avi",
                         std::string("OMP_NUM_THREADS=") + threads);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(testing::readWholeFile(path("clip_shots.txt")), "1 160 40 79 118 0\n") << threads;
    EXPECT_EQ(testing::outputProblems(path("clip"), 160, true), "") << threads;
    EXPECT_TRUE(std::filesystem::exists(path("clip_Shot_Keyframes/shot1_3.jpg")));
    EXPECT_FALSE(std::filesystem::exists(path("clip_Shot_Keyframes/shot2_1.jpg")));
  }
}

// Scanned transitions keep their types and ends inside them; a dissolve there
// and back, whose ends are alike, is no boundary.
TEST_F(ShotRefinementTest, ChangesTheShotsWhereTheFootageMovesOrACutHidesAndNowhereElse) {
  using K = testing::SegmentKind;
  testing::VideoPlan flash;
  flash.grain = 3.0;
  flash.flashes = {50};
  testing::addShot(flash, 202, 120);
  const struct {
    const char* name;
    testing::VideoPlan plan;
    std::string refined;    // what the second look must give
    bool scanAlreadyRight;  // the scan gives it too
    std::function<bool(int)> unreadable = nullptr;
  } cases[] = {
      {"shaking camera, blur and an occluder", handheldShot(), "160/0 ", false},
      {"the same with frames that fail around the scan's boundary", handheldShot(), "160/0 ", false,
       [](int f) { return f >= 74 && f <= 77; }},
      {"cut to the same colours in another picture",
       stillPlan({{K::kShot, 80, 301, 301}, {K::kShot, 80, 301, 301, true}}), "80/0 160/0 ", false},
      {"dissolve",
       stillPlan(
           {{K::kShot, 70, 101, 101}, {K::kDissolve, 24, 101, 302}, {K::kShot, 70, 302, 302}}),
       "83/1 164/0 ", true},
      {"wipe and a cut",
       stillPlan({{K::kShot, 70, 101, 101},
                  {K::kWipeLeftToRight, 12, 101, 302},
                  {K::kShot, 60, 302, 302},
                  {K::kShot, 60, 203, 203}}),
       "75/2 142/0 202/0 ", true},
      {"wipe top to bottom, then a dissolve there and back at 512 px",
       stillPlan({{K::kShot, 50, 3, 3},
                  {K::kWipeTopToBottom, 12, 3, 4},
                  {K::kShot, 50, 4, 4},
                  {K::kDissolve, 12, 4, 5},
                  {K::kDissolve, 12, 5, 4},
                  {K::kShot, 50, 4, 4}},
                 {640, 360}),
       "56/2 186/0 ", true},
      {"one-frame flash in a shot", flash, "120/0 ", true},
  };
  for (const auto& c : cases) {
    const std::string video = path("clip.avi");
    ASSERT_TRUE(testing::writeVideo(c.plan, video));
    const Shots shots = scanAndRefine(video, c.unreadable);
    EXPECT_EQ(shots.refined, c.refined) << c.name;
    EXPECT_EQ(shots.scanned == c.refined, c.scanAlreadyRight) << c.name << ": " << shots.scanned;
  }
}

// Real editing: a dip to black is one dissolve; a dissolve between shots that
// both move stays a dissolve; a jump cut (the same place, its objects moved)
// and a cut-in (the same picture 2.5 times closer) are cuts; fish sweeping
// across a cartoon are no cut. What the second look proposes is typed from
// the frames the scan keeps, without decoding again.
TEST_F(ShotRefinementTest, RealEditsKeepTheirBoundariesAndAnimationMakesNone) {
  using K = testing::SegmentKind;
  using testing::View;
  const auto withViews = [](testing::VideoPlan plan, std::map<int, View> views) {
    plan.views = std::move(views);
    return plan;
  };
  const struct {
    const char* name;
    testing::VideoPlan plan;
    std::string refined;
  } cases[] = {
      {"dip to black",
       stillPlan({{K::kShot, 70, 101, 101}, {K::kDip, 24, 101, 302}, {K::kShot, 70, 302, 302}}),
       "82/1 164/0 "},
      {"dissolve between moving shots",
       withViews(
           stillPlan({{K::kShot, 70, 11, 11}, {K::kDissolve, 20, 11, 12}, {K::kShot, 70, 12, 12}}),
           {{11, View{101, 1.0, {3, 0}}}, {12, View{302, 1.0, {-2, 1}}}}),
       "81/1 160/0 "},
      {"jump cut",
       withViews(stillPlan({{K::kShot, 80, 11, 11}, {K::kShot, 80, 12, 12}}),
                 {{11, View{203, 1.0, {0, 0}, 11}}, {12, View{203, 1.0, {0, 0}, 12}}}),
       "80/0 160/0 "},
      {"cut-in",
       withViews(stillPlan({{K::kShot, 80, 11, 11}, {K::kShot, 80, 12, 12}}),
                 {{11, View{203, 1.0}}, {12, View{203, 2.5}}}),
       "80/0 160/0 "},
      {"animated sweep",
       withViews(stillPlan({{K::kShot, 160, 3, 3}}), {{3, View{0, 1.0, {0, 0}, 0, true}}}),
       "160/0 "},
  };
  for (const auto& c : cases) {
    const std::string video = path("clip.avi");
    ASSERT_TRUE(testing::writeVideo(c.plan, video));
    const Shots shots = scanAndRefine(video, nullptr);
    EXPECT_EQ(shots.refined, c.refined) << c.name;
    EXPECT_EQ(shots.decodedAgain, 0) << c.name;
  }
}

// The camera pans across a wide picture, each frame smeared along its move.
// A whip pan swings at once most of a picture's width and slows down over
// four frames: its first pair looks like a cut's, but the next pairs change
// too. A steady pan the scan took for a dissolve shows the two ends' views
// moved, not mixed. A swing of over a third of a smooth picture's width while
// the exposure rises by a quarter leaves sides whose detail does not match
// and that a near move does not explain. A whip of a sixth of the width a
// frame smears its frames into what looks like a mix of its ends, but each
// pair is the last one moved. None is an edit.
TEST_F(ShotRefinementTest, CameraMovesThatLookLikeEditsAreNoEdits) {
  static const int whip[] = {240, 60, 30, 15, 8};
  static const int swing[] = {10, 30, 40, 30, 10};
  static const int steadyWhip = 53;
  const struct {
    std::function<int(int)> step;
    std::function<double(int)> exposure;
  } moves[] = {
      {[](int f) { return f >= 40 && f < 45 ? whip[f - 40] : 2; }, [](int) { return 1.0; }},
      {[](int) { return 12; }, [](int) { return 1.0; }},
      {[](int f) { return f >= 40 && f < 45 ? swing[f - 40] : 0; },
       [](int f) { return 1.0 + 0.25 * std::clamp(f - 38, 0, 10) / 10.0; }},
      {[](int f) { return f >= 40 && f < 46 ? steadyWhip : 1; }, [](int) { return 1.0; }},
  };
  cv::Mat wide, smooth;
  cv::cvtColor(testing::texturedPicture(201, {1400, 240}), wide, cv::COLOR_BGR2GRAY);
  cv::GaussianBlur(wide, smooth, cv::Size(), 6);
  SketchRun runs[4];
  for (int k = 0; k < 4; ++k) {
    for (int f = 0, x = 0; f < 84; ++f) {
      const int step = moves[k].step(f);
      x += step;
      cv::Mat frame;
      cv::blur((k == 2 ? smooth : wide)(cv::Rect(x, 0, 320, 240)), frame,
               cv::Size(std::max(1, step), 1));
      frame.convertTo(frame, -1, moves[k].exposure(f));
      runs[k].frames.push_back(makeSketch(frame));
    }
  }
  EXPECT_FALSE(breaksAt(runs[0], 39)) << "whip pan";
  EXPECT_FALSE(bearsOutTransition(reviewSpan(runs[1], {36, 47}, {0, 83}))) << "pan";
  const SpanReview swung = reviewSpan(runs[2], {38, 48}, {0, 83});
  EXPECT_GE(swung.moved, 0.5f) << "a near move explains the swing";
  EXPECT_FALSE(bearsOutTransition(swung)) << "swing with the exposure rising";
  const SpanReview whipped = reviewSpan(runs[3], {38, 48}, {0, 83});
  EXPECT_GE(whipped.moved, 0.5f) << "no near move explains the whip";
  EXPECT_LE(whipped.unexplained, 0.5) << "the whip's smeared frames mix its ends";
  EXPECT_FALSE(bearsOutTransition(whipped)) << "whip pan of a sixth of the width a frame";
}

// A shot of a picture whose detail is even all over, the camera drifting, and
// at frame 40 the same picture zoomed or its grain changed. A cut to another
// framing changes every block of the sketch alike and stands out far from the
// drift around it: on a smooth picture it reshapes the layout; on a picture
// of fine detail over a broad ramp it keeps the layout but changes the grey
// levels. Grain renewed all over, as by an encoder's key frame, keeps the
// layout and hardly changes the grey levels: no cut.
TEST_F(ShotRefinementTest, AChangeAllOverBreaksWhereItReshapesThePictureOrItsGreyLevels) {
  cv::Mat smooth(480, 800, CV_32F), fine(480, 800, CV_32F), ramp(480, 800, CV_32F);
  cv::RNG(31).fill(smooth, cv::RNG::UNIFORM, 0.0, 1.0);
  cv::GaussianBlur(smooth, fine, cv::Size(), 6);
  cv::GaussianBlur(smooth, smooth, cv::Size(), 40);
  cv::normalize(smooth, smooth, 80, 175, cv::NORM_MINMAX, CV_8U);
  cv::normalize(fine, fine, 0, 120, cv::NORM_MINMAX);
  for (int x = 0; x < 800; ++x) ramp.col(x).setTo(x * 130.0 / 800);
  cv::Mat(fine + ramp).convertTo(fine, CV_8U);
  const struct {
    const char* name;
    const cv::Mat* picture;
    double zoom;   // of the view from frame 40
    double grain;  // renewed at frame 40, in grey levels
    bool breaks;
  } cases[] = {
      {"cut-in 1.4x, smooth", &smooth, 1.4, 0.0, true},
      {"cut-out 1.6x, smooth", &smooth, 1.0 / 1.6, 0.0, true},
      {"cut-out 1.6x, fine detail", &fine, 1.0 / 1.6, 0.0, true},
      {"grain renewed, smooth", &smooth, 1.0, 25.0, false},
      {"grain renewed, fine detail", &fine, 1.0, 25.0, false},
  };
  for (const auto& c : cases) {
    SketchRun run;
    for (int f = 0; f < 84; ++f) {
      const double zoom = f >= 40 ? c.zoom : 1.0;
      const cv::Size size(cvRound(320 / zoom), cvRound(180 / zoom));
      const cv::Rect view(240 + f - size.width / 2, 240 - size.height / 2, size.width, size.height);
      cv::Mat frame;
      cv::resize((*c.picture)(view), frame, cv::Size(320, 180), 0, 0, cv::INTER_AREA);
      if (c.grain > 0.0 && f >= 40) {
        cv::Mat grain(frame.size(), CV_8S);
        cv::RNG(7).fill(grain, cv::RNG::NORMAL, 0.0, c.grain);
        cv::add(frame, grain, frame, cv::noArray(), CV_8U);
      }
      run.frames.push_back(makeSketch(frame));
    }
    EXPECT_EQ(breaksAt(run, 39), c.breaks) << c.name;
  }
}

// Two crops of one picture, the second moved and its exposure changed: the
// far search evens the exposure out and finds moves of up to 0.45 of the
// sketch; beyond that, or between other pictures, much of the change stays.
TEST_F(ShotRefinementTest, AFarMoveWithTheExposureChangedLeavesLittleOfTheChange) {
  cv::Mat picture, other;
  cv::cvtColor(testing::texturedPicture(203, {120, 80}), picture, cv::COLOR_BGR2GRAY);
  cv::cvtColor(testing::texturedPicture(204, {120, 80}), other, cv::COLOR_BGR2GRAY);
  const cv::Rect at(36, 26, kSketchWidth, 27);
  const struct {
    const cv::Mat* second;
    cv::Point move;
    double gain;
    bool left;  // much of the change must be left
  } cases[] = {{&picture, {20, 5}, 1.25, false},
               {&picture, {-18, -6}, 0.8, false},
               {&picture, {30, 0}, 1.0, true},
               {&other, {0, 0}, 1.0, true},
               {&other, {10, 4}, 1.2, true}};
  for (const auto& c : cases) {
    cv::Mat second;
    (*c.second)(at + c.move).convertTo(second, -1, c.gain);
    const float share = farMovedShare(picture(at), second);
    if (c.left) {
      EXPECT_GT(share, 0.45f) << c.move << " x" << c.gain;
    } else {
      EXPECT_LT(share, 0.1f) << c.move << " x" << c.gain;
    }
  }
  EXPECT_EQ(farMovedShare(picture(at), picture(at)), 0.0f);
  EXPECT_EQ(farMovedShare(picture(at), cv::Mat()), -1.0f);
}

// A stretch the scan took for a transition just after a cut, over a still
// shot: its sides are that shot's frames, not the frames across the cut.
TEST_F(ShotRefinementTest, SidesAreReadWithinTheShotsAroundATransition) {
  cv::Mat a, b;
  cv::cvtColor(testing::texturedPicture(201, {320, 240}), a, cv::COLOR_BGR2GRAY);
  cv::cvtColor(testing::texturedPicture(202, {320, 240}), b, cv::COLOR_BGR2GRAY);
  SketchRun run;
  for (int f = 0; f < 70; ++f) run.frames.push_back(makeSketch(f < 20 ? a : b));
  EXPECT_FALSE(reviewSpan(run, {22, 40}, {0, 69}).sidesAlike) << "across the cut";
  EXPECT_TRUE(reviewSpan(run, {22, 40}, {20, 69}).sidesAlike) << "within the shot";
}

// Two crops of one picture, the second moved: the search finds the move up to
// a quarter of the sketch each way and leaves nothing of the change; beyond
// it, or between other pictures, the change stays.
TEST_F(ShotRefinementTest, AMoveWithinAQuarterOfTheSketchLeavesNoChange) {
  cv::Mat picture;
  cv::cvtColor(testing::texturedPicture(203, {120, 80}), picture, cv::COLOR_BGR2GRAY);
  const cv::Rect at(30, 20, kSketchWidth, 27);
  const struct {
    cv::Point move;
    bool left;  // some change must be left
  } cases[] = {{{0, 0}, false},  {{7, 3}, false}, {{-12, -6}, false},
               {{12, 6}, false}, {{16, 0}, true}, {{0, 9}, true}};
  for (const auto& c : cases) {
    const float least = leastMovedDifference(picture(at), picture(at + c.move));
    if (c.left) {
      EXPECT_GT(least, 0.02f) << c.move;
    } else {
      EXPECT_EQ(least, 0.0f) << c.move;
    }
  }
  const cv::Mat dark(27, kSketchWidth, CV_8UC1, cv::Scalar(100));
  const cv::Mat light(27, kSketchWidth, CV_8UC1, cv::Scalar(151));
  EXPECT_FLOAT_EQ(leastMovedDifference(dark, light), 0.2f);
  EXPECT_EQ(leastMovedDifference(dark, cv::Mat()), -1.0f);
}

}  // namespace
}  // namespace shotscene
