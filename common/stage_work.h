// Work inside a stage: two readers over two halves of its requests, and
// failures carried out of the threads and reported at the stage's edge.
#ifndef SHOTSCENE_COMMON_STAGE_WORK_H_
#define SHOTSCENE_COMMON_STAGE_WORK_H_

#include <exception>
#include <string>
#include <utility>

#ifdef _OPENMP
#include <omp.h>
#endif

namespace shotscene {

// The requests [first, end) of `count` in order that reader `thread` of
// `threads` (1 or 2) serves: two contiguous halves, the first one larger, so
// that each reader only goes forward.
std::pair<int, int> readerShare(int count, int thread, int threads);

// The first exception of any thread, kept to be rethrown after the threads
// end: an exception must not leave an OpenMP region.
void keepFirstFailure(std::exception_ptr& first, std::exception_ptr error);

// Runs work(first, end) for the two halves of `count` requests on two threads
// and returns the sum of what the calls return. The first exception any call
// throws is rethrown once both have ended.
template <typename Work>
int runOnTwoHalves(int count, Work work) {
  int sum = 0;
  std::exception_ptr failure;
#pragma omp parallel num_threads(2) reduction(+ : sum)
  {
    int thread = 0, threads = 1;
#ifdef _OPENMP
    thread = omp_get_thread_num();
    threads = omp_get_num_threads();
#endif
    const auto [first, end] = readerShare(count, thread, threads);
    try {
      sum += work(first, end);
    } catch (...) {
      keepFirstFailure(failure, std::current_exception());
    }
  }
  if (failure) std::rethrow_exception(failure);
  return sum;
}

// Reports "Can not analyse video file PATH: WHAT" on standard error, WHAT on one line.
void reportStageFailure(const std::string& videoPath, const std::exception_ptr& error);

}  // namespace shotscene

#endif  // SHOTSCENE_COMMON_STAGE_WORK_H_
