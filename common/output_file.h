// Output files replaced atomically, with every failure reported with its path.
#ifndef SHOTSCENE_COMMON_OUTPUT_FILE_H_
#define SHOTSCENE_COMMON_OUTPUT_FILE_H_

#include <cstdio>
#include <functional>
#include <string>

namespace shotscene {

// An output being written under a temporary name in its own folder, unique to
// this process; the file appears under `path` only when it is complete.
struct OutputFile {
  std::FILE* file = nullptr;
  std::string path;
  std::string temporary;
  int slot = -1;  // in the table of temporary files an interrupt removes
};

// The temporary name of `path` for this process, in the same folder:
// "NAME.PID.tmp" followed by `extension` (".jpg" for images, so that the
// encoder is still chosen by it). When that would not fit the folder's name
// limit, NAME is shortened and a hash of the whole name appended, so a
// temporary name fits wherever the final name fits.
std::string temporaryPathFor(const std::string& path, const std::string& extension = "");

// Removes the temporary files of `path`, of either form, that processes which
// no longer exist left behind.
void removeStaleTemporaries(const std::string& path);

// Removes every temporary image in `folder` that a process which no longer
// exists left behind.
void removeStaleTemporaryImages(const std::string& folder);

// Calls `create`, which makes the file `temporary`, such that SIGINT or
// SIGTERM removes that file from then until releaseTemporary(slot). Returns
// the slot, or -1 when the table is full (the file is then not removed).
// When the process is already being stopped, `create` is not called: returns
// -1 with errno EINTR.
int createTemporary(const std::string& temporary, const std::function<void()>& create);
void releaseTemporary(int slot);

// Makes SIGINT and SIGTERM remove this run's temporary files and end the
// process with status 128 + the signal. Signals ignored on entry stay ignored.
void installInterruptCleanup();

// Opens the temporary file with the given fopen mode; on failure reports path
// on standard error and leaves `file` null.
OutputFile openOutputFile(const std::string& path, const char* mode);

// Closes the file and renames it over `path`, so that a reader (or a run
// killed at any moment) sees the old complete file or the new one. Returns
// false, after reporting the path on standard error and removing the
// temporary file, when a write, the close or the rename failed.
bool closeOutputFile(OutputFile& output);

// Closes and removes the temporary file, leaving `path` as it was: for a
// write given up part-way.
void discardOutputFile(OutputFile& output);

// Renames a finished temporary file over `path`; reports and cleans up on failure.
bool replaceWithTemporary(const std::string& temporary, const std::string& path);

// Reports on standard error that a file the tool wrote can not be read back.
void reportUnreadable(const std::string& path);

}  // namespace shotscene

#endif  // SHOTSCENE_COMMON_OUTPUT_FILE_H_
