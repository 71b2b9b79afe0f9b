#include "common/cleanup_registry.h"

#include <dirent.h>
#include <limits.h>
#include <pthread.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace shotscene {

namespace {

constexpr char kTemporarySuffix[] = ".tmp";
constexpr char kImageTemporarySuffix[] = ".tmp.jpg";
// Room after NAME for ".PID.tmp.jpg" with the longest PID, so that whether
// NAME is shortened does not depend on this process's PID or the form.
constexpr size_t kSuffixRoom = 1 + 10 + 4 + 4;
constexpr size_t kHashLength = 16;

// The temporary files an interrupt removes. The handler reads the table, so
// only lock-free atomics and fixed buffers: a name is copied into a claimed
// slot, then published as live.
enum SlotState : int { kFree, kClaimed, kLive };
struct LiveTemporary {
  std::atomic<int> state{kFree};
  char name[PATH_MAX];
};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs lock-free atomics");
constexpr int kSlots = 16;
LiveTemporary liveTemporaries[kSlots];

// Raised by requestStop() or by the interrupt handler; from then on no
// temporary file is created.
enum StopState : int { kRunning, kStopRequested, kInterrupted };
std::atomic<int> stopState{kRunning};
// Threads between registering a name and having created its file. The handler
// waits for them, so that no file appears after it has removed the others.
std::atomic<int> creating{0};

// Holds SIGINT and SIGTERM off this thread, which counts among those creating
// a file meanwhile. Leaves errno as the creation set it.
class CreationWindow {
 public:
  CreationWindow() {
    sigset_t interrupts;
    sigemptyset(&interrupts);
    sigaddset(&interrupts, SIGINT);
    sigaddset(&interrupts, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &interrupts, &previous_);
    creating.fetch_add(1);
  }
  ~CreationWindow() {
    const int error = errno;
    creating.fetch_sub(1);
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    errno = error;
  }
  CreationWindow(const CreationWindow&) = delete;
  CreationWindow& operator=(const CreationWindow&) = delete;

 private:
  sigset_t previous_;
};

[[noreturn]] void stopHere() {
  // The handler is removing the temporary files on another thread, then ends
  // the process; unwinding meanwhile could end it first with another status.
  while (stopState.load() == kInterrupted) ::pause();
  throw RunStopped();
}

std::string folderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string joined(const std::string& folder, const std::string& name) {
  return folder == "/" ? "/" + name : folder + "/" + name;
}

// What comes before ".PID.tmp" in the temporary names of `path`.
std::string temporaryKey(const std::string& path) {
  std::string name = nameOf(path);
  const long limit = ::pathconf(folderOf(path).c_str(), _PC_NAME_MAX);
  const size_t nameMax = limit > 0 ? static_cast<size_t>(limit) : 255;
  if (name.size() + kSuffixRoom <= nameMax) return name;
  uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (const unsigned char c : name) hash = (hash ^ c) * 1099511628211ull;
  char hex[kHashLength + 1];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
  size_t keep =
      nameMax > kSuffixRoom + kHashLength + 1 ? nameMax - kSuffixRoom - kHashLength - 1 : 0;
  // Not in the middle of a UTF-8 sequence.
  while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;
  name.resize(keep);
  return name + "~" + hex;
}

// The PID of "PID.tmp" or "PID.tmp.jpg", or 0 when `rest` is neither.
pid_t temporaryOwner(const char* rest) {
  long long pid = 0;
  const char* p = rest;
  for (; *p >= '0' && *p <= '9' && pid <= INT_MAX; ++p) pid = pid * 10 + (*p - '0');
  if (p == rest || *rest == '0' || pid > INT_MAX) return 0;
  const bool temporary =
      std::strcmp(p, kTemporarySuffix) == 0 || std::strcmp(p, kImageTemporarySuffix) == 0;
  return temporary ? static_cast<pid_t>(pid) : 0;
}

bool ownerIsGone(pid_t pid) { return pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH; }

// Removes the files of `folder` whose names `owner` maps to a process that no
// longer exists.
template <typename Owner>
void removeStale(const std::string& folder, Owner owner) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return;
  while (const dirent* entry = ::readdir(dir)) {
    const pid_t pid = owner(entry->d_name);
    if (pid > 0 && ownerIsGone(pid)) ::unlink(joined(folder, entry->d_name).c_str());
  }
  ::closedir(dir);
}

// Async-signal-safe: atomics, clock_gettime, unlink and _exit only.
void removeLiveTemporariesAndExit(int signal) {
  stopState.store(kInterrupted);
  // A writer holds the signals off while it creates its file, so this thread
  // is never one of them; the bound only guards against a stuck file system.
  timespec start{}, now{};
  clock_gettime(CLOCK_MONOTONIC, &start);
  while (creating.load() != 0) {
    clock_gettime(CLOCK_MONOTONIC, &now);
    if (now.tv_sec - start.tv_sec > 2) break;
  }
  for (LiveTemporary& slot : liveTemporaries) {
    if (slot.state.load() == kLive) ::unlink(slot.name);
  }
  _exit(128 + signal);
}

}  // namespace

RunStopped::RunStopped() : std::runtime_error("run stopped") {}

void requestStop() {
  int running = kRunning;
  stopState.compare_exchange_strong(running, kStopRequested);
}

void clearStopRequest() {
  int requested = kStopRequested;
  stopState.compare_exchange_strong(requested, kRunning);
}

bool stopRequested() { return stopState.load(std::memory_order_relaxed) != kRunning; }

void throwIfStopped() {
  if (stopRequested()) stopHere();
}

void installInterruptCleanup() {
  struct sigaction action {};
  action.sa_handler = removeLiveTemporariesAndExit;
  sigemptyset(&action.sa_mask);
  sigaddset(&action.sa_mask, SIGINT);
  sigaddset(&action.sa_mask, SIGTERM);
  for (const int signal : {SIGINT, SIGTERM}) {
    struct sigaction current {};
    if (sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) continue;
    sigaction(signal, &action, nullptr);
  }
}

std::string temporaryPathFor(const std::string& path, const std::string& extension) {
  const std::string folder = path.substr(0, path.size() - nameOf(path).size());
  return folder + temporaryKey(path) + "." + std::to_string(::getpid()) + kTemporarySuffix +
         extension;
}

int createTemporary(const std::string& temporary, const std::function<void()>& create) {
  {
    const CreationWindow window;
    if (!stopRequested()) {
      int slot = -1;
      for (int k = 0; k < kSlots && slot < 0 && temporary.size() < PATH_MAX; ++k) {
        int free = kFree;
        if (liveTemporaries[k].state.compare_exchange_strong(free, kClaimed)) slot = k;
      }
      if (slot >= 0) {
        std::memcpy(liveTemporaries[slot].name, temporary.c_str(), temporary.size() + 1);
        liveTemporaries[slot].state.store(kLive);
      }
      try {
        create();
      } catch (...) {
        ::unlink(temporary.c_str());
        releaseTemporary(slot);
        throw;
      }
      return slot;
    }
  }
  // Outside the window, so that the handler does not wait for this thread.
  stopHere();
}

void releaseTemporary(int slot) {
  if (slot >= 0 && slot < kSlots) liveTemporaries[slot].state.store(kFree);
}

void removeStaleTemporaries(const std::string& path) {
  const std::string key = temporaryKey(path) + ".";
  removeStale(folderOf(path), [&key](const char* name) -> pid_t {
    return std::strncmp(name, key.c_str(), key.size()) == 0 ? temporaryOwner(name + key.size()) : 0;
  });
}

void removeStaleTemporaryImages(const std::string& folder) {
  removeStale(folder, [](const char* name) -> pid_t {
    // NAME.PID.tmp.jpg with a NAME of at least one character.
    const char* tail = std::strstr(name, kImageTemporarySuffix);
    if (tail == nullptr || tail == name) return 0;
    const char* pid = tail;
    while (pid > name + 1 && pid[-1] != '.') --pid;
    return pid > name + 1 ? temporaryOwner(pid) : 0;
  });
}

}  // namespace shotscene
