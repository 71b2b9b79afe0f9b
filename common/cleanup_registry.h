// A run's temporary files and their clean-up: on a stop request, on an interrupt, by the next run.
#ifndef SHOTSCENE_COMMON_CLEANUP_REGISTRY_H_
#define SHOTSCENE_COMMON_CLEANUP_REGISTRY_H_

#include <functional>
#include <stdexcept>
#include <string>

namespace shotscene {

// == Stopping a run
//
// A run is stopped by a request for the whole process, which a caller raises
// from any thread (a library that must not take over the signals) or the
// interrupt handler raises on SIGINT and SIGTERM. Once it is raised, the
// writers create no temporary file and discard the one they are writing, and
// unwind with RunStopped; long loops call stopRequested() or throwIfStopped()
// to do the same. After an interrupt nothing unwinds: the process ends.

// What a stopped run unwinds with; what() is "run stopped".
class RunStopped : public std::runtime_error {
 public:
  RunStopped();
};

// Raises the stop request; no new temporary file is created from then on.
void requestStop();

// Clears the request, for the next run. Precondition: no run is under way.
void clearStopRequest();

// True once a stop is requested: one relaxed atomic load, cheap enough for a per-frame loop.
bool stopRequested();

// Throws RunStopped when a stop is requested. After SIGINT or SIGTERM it
// instead waits for the handler, which ends the process, so that the exit
// status stays 128 + the signal.
void throwIfStopped();

// Makes SIGINT and SIGTERM stop the run, remove its temporary files and end
// the process with status 128 + the signal. Signals ignored on entry stay
// ignored. Only the command-line tools install it.
void installInterruptCleanup();

// == Temporary files

// The temporary name of `path` for this process, in the same folder:
// "NAME.PID.tmp" followed by `extension` (".jpg" for images, so that the
// encoder is still chosen by it). When that would not fit the folder's name
// limit, NAME is shortened and a hash of the whole name appended, so a
// temporary name fits wherever the final name fits.
std::string temporaryPathFor(const std::string& path, const std::string& extension = "");

// Calls `create`, which makes the file `temporary`, such that an interrupt
// removes that file from then until releaseTemporary(slot). Returns the slot,
// or -1 when the table is full (the file is then not removed). When a stop is
// requested, `create` is not called and throwIfStopped() decides. When
// `create` throws, the file is removed and the exception passed on.
int createTemporary(const std::string& temporary, const std::function<void()>& create);
void releaseTemporary(int slot);

// Removes the temporary files of `path`, of either form, that processes which
// no longer exist left behind.
void removeStaleTemporaries(const std::string& path);

// Removes every temporary image in `folder` that a process which no longer
// exists left behind.
void removeStaleTemporaryImages(const std::string& folder);

}  // namespace shotscene

#endif  // SHOTSCENE_COMMON_CLEANUP_REGISTRY_H_
