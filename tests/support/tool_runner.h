// Runs the shotscene executable as a user would, and checks what it leaves behind.
#ifndef SHOTSCENE_TESTS_SUPPORT_TOOL_RUNNER_H_
#define SHOTSCENE_TESTS_SUPPORT_TOOL_RUNNER_H_

#include <string>
#include <vector>

namespace shotscene::testing {

// An id no process can have: Linux gives ids below 2^22.
constexpr char kDeadPid[] = "2147483647";

struct Outcome {
  int status = -1;
  std::string out, err;
};

// The text in single quotes for the shell, quotes inside escaped.
std::string quoted(const std::string& text);

// Runs "ENVIRONMENT shotscene ARGS" in `folder` with no standard input.
Outcome runTool(const std::string& folder, const std::string& args,
                const std::string& environment = "");

// Runs "shotscene-export ARGS" in `folder` with no standard input.
Outcome runExportTool(const std::string& folder, const std::string& args);

// Runs "ffmpeg ARGS" quietly, overwriting outputs, with no standard input;
// true when it succeeds.
bool runFfmpeg(const std::string& args);

// The shot and scene lists and subtitles of stem, each followed by '|'.
std::string resultFiles(const std::string& stem);

// Problems with the files of a finished run of the video whose output stem is
// `stem` and whose container claims `frameCount` frames: the shot list must
// be contiguous from frame 1 to frameCount, the scene list likewise, and each
// subtitle file must hold one complete entry per line. Empty when all is well;
// scene files are checked only when `scenes` is set.
std::string outputProblems(const std::string& stem, int frameCount, bool scenes);

// Names of the temporary files anywhere under `folder`, which a run may be
// changing meanwhile.
std::vector<std::string> temporaryFiles(const std::string& folder);

}  // namespace shotscene::testing

#endif  // SHOTSCENE_TESTS_SUPPORT_TOOL_RUNNER_H_
