// The run sequence: the shot stage, then the scene stage, and the exit status.
#ifndef SHOTSCENE_APP_RUN_SEQUENCE_H_
#define SHOTSCENE_APP_RUN_SEQUENCE_H_

#include <string>
#include <vector>

#include "shots/shot_types.h"
#include "video/video.h"

namespace shotscene {

// What the command line asks for.
struct RunOptions {
  bool kfShot = false;
  bool kfScene = false;
  bool shotsOnly = false;
  bool transType = false;
  bool refineShots = false;
  bool stats = false;
  std::string kfPath;
};

// Opens the video and runs the stages on it: the exit status of the program.
int runShotScene(const std::string& videoPath, const RunOptions& options);

// Runs the shot stage and, unless shotsOnly, the scene stage on an opened
// video, printing the progress lines and "Completed!". Returns 0, or -1 when
// the video is unusable (reported on standard output), a file or image could
// not be written or a stage failed (reported on standard error, with the
// files already written left complete). A stop request (requestStop) ends
// it with RunStopped, leaving no temporary file. `shots`, when given, gets
// the shots as the shot list holds them.
int runStages(Video& video, const RunOptions& options, std::vector<ShotRecord>* shots = nullptr);

}  // namespace shotscene

#endif  // SHOTSCENE_APP_RUN_SEQUENCE_H_
