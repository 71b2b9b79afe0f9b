// Times the two-nearest ratio test on frame-sized sets of random descriptors.
#include <benchmark/benchmark.h>

#include <opencv2/core.hpp>

#include "shots/frame_features.h"

namespace shotscene {
namespace {

// A frame pair: 400 query rows against 400 train rows, as ORB gives a textured frame.
void BM_CountGoodMatches(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  cv::Mat query(rows, 32, CV_8U), train(rows, 32, CV_8U);
  cv::RNG rng(3);
  rng.fill(query, cv::RNG::UNIFORM, 0, 256);
  rng.fill(train, cv::RNG::UNIFORM, 0, 256);
  for (auto _ : state) benchmark::DoNotOptimize(countGoodMatches(query, train));
  state.SetItemsProcessed(state.iterations() * rows);
}
BENCHMARK(BM_CountGoodMatches)->Arg(400)->Arg(100)->Arg(7);

}  // namespace
}  // namespace shotscene

BENCHMARK_MAIN();
