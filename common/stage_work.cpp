#include "common/stage_work.h"

#include <iostream>
#include <mutex>

namespace shotscene {

namespace {

std::mutex failureMutex;

std::string oneLine(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

}  // namespace

std::pair<int, int> readerShare(int count, int thread, int threads) {
  const int half = (count + 1) / 2;
  if (threads == 1) return {0, count};
  return thread == 0 ? std::make_pair(0, half) : std::make_pair(half, count);
}

void keepFirstFailure(std::exception_ptr& first, std::exception_ptr error) {
  std::lock_guard<std::mutex> lock(failureMutex);
  if (!first) first = error;
}

void reportStageFailure(const std::string& videoPath, const std::exception_ptr& error) {
  std::string what = "unknown failure";
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    what = oneLine(e.what());
  } catch (...) {
  }
  std::cerr << "Can not analyse video file " << videoPath << ": " << what << std::endl;
}

}  // namespace shotscene
