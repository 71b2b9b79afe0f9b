#include "app/background_run.h"

#include <atomic>
#include <chrono>
#include <iostream>
#include <utility>

#include "common/cleanup_registry.h"

namespace shotscene {

namespace {

std::atomic<bool> underWay{false};

}  // namespace

std::string CapturedText::takeNew() {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::exchange(pending_, std::string());
}

int CapturedText::overflow(int c) {
  if (c == traits_type::eof()) return traits_type::not_eof(c);
  std::lock_guard<std::mutex> lock(mutex_);
  pending_ += static_cast<char>(c);
  return c;
}

std::streamsize CapturedText::xsputn(const char* text, std::streamsize count) {
  std::lock_guard<std::mutex> lock(mutex_);
  pending_.append(text, static_cast<size_t>(count));
  return count;
}

bool startBackgroundRun(BackgroundRun& run, std::function<int()> work) {
  if (underWay.exchange(true)) return false;
  run.savedOut = std::cout.rdbuf(&run.out);
  run.savedErr = std::cerr.rdbuf(&run.err);
  setProgressWatch(&run.progress);
  run.thread = std::thread([&run, work = std::move(work)] {
    int status = 0;
    bool stopped = false;
    std::exception_ptr failure;
    try {
      status = work();
    } catch (const RunStopped&) {
      stopped = true;
    } catch (...) {
      failure = std::current_exception();
    }
    std::lock_guard<std::mutex> lock(run.mutex);
    run.status = status;
    run.stopped = stopped;
    run.failure = failure;
    run.done = true;
    run.ended.notify_all();
  });
  return true;
}

bool waitBackgroundRun(BackgroundRun& run, double seconds) {
  std::unique_lock<std::mutex> lock(run.mutex);
  return run.ended.wait_for(lock, std::chrono::duration<double>(seconds), [&] { return run.done; });
}

void finishBackgroundRun(BackgroundRun& run) {
  if (!run.thread.joinable()) return;  // finished already
  run.thread.join();
  std::cout.rdbuf(run.savedOut);
  std::cerr.rdbuf(run.savedErr);
  setProgressWatch(nullptr);
  clearStopRequest();
  underWay.store(false);
}

}  // namespace shotscene
