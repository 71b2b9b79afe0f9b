// Writes a video with known cuts, dissolves, wipes and flashes for the demo and
// the bench, and prints where its boundaries are.
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "tools/test_video.h"

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: make_test_video OUTPUT [--width W] [--height H] [--fps F] [--seconds S] "
               "[--codec FFV1|avc1|MJPG]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  const std::string output = argv[1];
  std::map<std::string, double> numbers = {
      {"--width", 640}, {"--height", 360}, {"--fps", 25}, {"--seconds", 30}};
  std::string codec = "FFV1";
  for (int k = 2; k + 1 < argc; k += 2) {
    const std::string name = argv[k], value = argv[k + 1];
    if (name == "--codec" && value.size() == 4) {
      codec = value;
    } else if (numbers.count(name) == 1) {
      numbers[name] = std::atof(value.c_str());
    } else {
      return usage();
    }
  }
  const int width = static_cast<int>(numbers["--width"]),
            height = static_cast<int>(numbers["--height"]);
  const double fps = numbers["--fps"], seconds = numbers["--seconds"];
  if (argc % 2 != 0 || width < 1 || height < 1 || fps <= 0.0 || seconds <= 0.0) return usage();

  using namespace shotscene::testing;
  const VideoPlan plan = demoPlan(cv::Size(width, height), fps, static_cast<int>(seconds * fps));
  if (!writeVideo(plan, output, codec)) {
    std::fprintf(stderr, "make_test_video: can not write %s with codec %s\n", output.c_str(),
                 codec.c_str());
    return 1;
  }
  std::printf("%s: %d frames at %g fps, %dx%d\n", output.c_str(), frameCount(plan), fps, width,
              height);
  std::printf("cuts after frames:");  // ends of shots that a shot follows
  int end = 0;
  for (size_t k = 0; k + 1 < plan.segments.size(); ++k) {
    end += plan.segments[k].length;
    const bool cut = plan.segments[k].kind == SegmentKind::kShot &&
                     plan.segments[k + 1].kind == SegmentKind::kShot;
    if (cut) std::printf(" %d", end);
  }
  std::printf("\ntransitions (frames):");
  for (const auto& [first, last] : transitionSpans(plan)) std::printf(" %d-%d", first, last);
  std::printf("\n");
  return 0;
}
