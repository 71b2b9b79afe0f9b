// Times the scan's own per-frame kernels: descriptor matching and the frame digest.
#include <benchmark/benchmark.h>

#include <opencv2/core.hpp>

#include "shots/frame_features.h"
#include "video/frame_digest.h"

namespace shotscene {
namespace {

cv::Mat randomMat(int rows, int cols, int type) {
  cv::Mat m(rows, cols, type);
  cv::RNG rng(3);
  rng.fill(m, cv::RNG::UNIFORM, 0, 256);
  return m;
}

// A frame pair: 400 query rows against 400 train rows, as ORB gives a textured frame.
template <int (*Count)(const cv::Mat&, const cv::Mat&)>
void BM_CountGoodMatches(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  const cv::Mat query = randomMat(rows, 32, CV_8U), train = randomMat(rows, 32, CV_8U);
  for (auto _ : state) benchmark::DoNotOptimize(Count(query, train));
  state.SetItemsProcessed(state.iterations() * rows);
}
BENCHMARK_TEMPLATE(BM_CountGoodMatches, countGoodMatches)->Arg(400)->Arg(100)->Arg(7);
BENCHMARK_TEMPLATE(BM_CountGoodMatches, countGoodMatchesPortable)->Arg(400)->Arg(100)->Arg(7);

// One decoded 1280x720 frame, as every frame of the scan is digested.
template <uint64_t (*Digest)(const cv::Mat&)>
void BM_FrameDigest(benchmark::State& state) {
  const cv::Mat frame = randomMat(720, 1280, CV_8UC3);
  for (auto _ : state) benchmark::DoNotOptimize(Digest(frame));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(frame.total() * 3));
}
BENCHMARK_TEMPLATE(BM_FrameDigest, frameDigest);
BENCHMARK_TEMPLATE(BM_FrameDigest, frameDigestPortable);

}  // namespace
}  // namespace shotscene

BENCHMARK_MAIN();
