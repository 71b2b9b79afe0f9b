// A run of the library on a thread of its own, for a caller that must stay
// responsive meanwhile (the Python module): what the run prints is captured,
// its progress can be read, and it can be stopped.
#ifndef SHOTSCENE_APP_BACKGROUND_RUN_H_
#define SHOTSCENE_APP_BACKGROUND_RUN_H_

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <streambuf>
#include <string>
#include <thread>

#include "common/progress_line.h"

namespace shotscene {

// Text written to a stream, kept for the reader on another thread.
class CapturedText : public std::streambuf {
 public:
  // Everything written since the last call.
  std::string takeNew();

 protected:
  int overflow(int c) override;
  std::streamsize xsputn(const char* text, std::streamsize count) override;

 private:
  std::mutex mutex_;
  std::string pending_;
};

struct BackgroundRun {
  std::thread thread;
  std::mutex mutex;
  std::condition_variable ended;
  bool done = false;           // guarded by mutex
  int status = 0;              // what the work returned
  bool stopped = false;        // it ended with RunStopped
  std::exception_ptr failure;  // any other exception it ended with
  CapturedText out, err;       // its standard output and error
  ProgressWatch progress;      // of its scan
  std::streambuf* savedOut = nullptr;
  std::streambuf* savedErr = nullptr;
};

// Starts `work` on a thread of its own, with the process's standard output
// and error streams (std::cout, std::cerr) captured and the progress watched
// until finishBackgroundRun. False, starting nothing, while another
// background run is under way in the process: the stop request, the streams
// and the watch are the process's.
bool startBackgroundRun(BackgroundRun& run, std::function<int()> work);

// Waits up to `seconds` for the work to end; true once it has.
bool waitBackgroundRun(BackgroundRun& run, double seconds);

// Waits for the work to end (after requestStop(), at its next check), then
// restores the streams and the watch and clears the stop request; once only,
// later calls do nothing.
void finishBackgroundRun(BackgroundRun& run);

}  // namespace shotscene

#endif  // SHOTSCENE_APP_BACKGROUND_RUN_H_
