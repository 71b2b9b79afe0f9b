// Times the scene grouping's full set of passes on synthetic shot lists of
// growing size and reports the peak memory of the process after each size.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "scenes/shot_linking.h"

namespace shotscene {
namespace {

// Peak resident memory so far, in MB.
double peakMegabytes() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  }
  return -1.0;
}

void normaliseBlocks(ShotSignature& s) {
  for (int block = 0; block < 3; ++block) {
    float sum = 0.0f;
    for (int b = 0; b < kSignatureBins; ++b) sum += s[block * kSignatureBins + b];
    for (int b = 0; b < kSignatureBins; ++b) s[block * kSignatureBins + b] /= sum;
  }
}

// Shots of 50 to 200 frames from frame 1. Runs of 3 to 15 shots alternate
// between two or three of 40 looks, like the shot/reverse-shot of a scene;
// every sample is its look with multiplicative noise.
void makeShots(int count, std::mt19937& rng, std::vector<StoredShot>& shots,
               SignatureTable& signatures) {
  std::uniform_real_distribution<float> unit(0.0f, 1.0f), noise(0.7f, 1.3f);
  std::vector<ShotSignature> looks(40);
  for (ShotSignature& look : looks) {
    for (float& v : look) v = unit(rng) * unit(rng) * unit(rng);
    normaliseBlocks(look);
  }
  shots.clear();
  signatures.clear();
  float frame = 1.0f;
  std::vector<int> cast;
  int left = 0;
  for (int s = 0; s < count; ++s) {
    if (left == 0) {
      left = 3 + static_cast<int>(rng() % 13);
      cast.assign(2 + rng() % 2, 0);
      for (int& look : cast) look = static_cast<int>(rng() % looks.size());
    }
    --left;
    const float length = static_cast<float>(50 + rng() % 151);
    StoredShot shot;
    shot.first = frame;
    shot.last = frame + length - 1.0f;
    frame += length;
    shots.push_back(shot);
    const ShotSignature& look = looks[static_cast<size_t>(cast[rng() % cast.size()])];
    for (int k = 0; k < kSamplesPerShot; ++k) {
      ShotSignature sample = look;
      for (float& v : sample) v *= noise(rng);
      normaliseBlocks(sample);
      signatures.push_back(sample);
    }
  }
}

}  // namespace
}  // namespace shotscene

int main() {
  using namespace shotscene;
  std::mt19937 rng(7);
  for (int count : {500, 2000, 6000}) {
    const double before = peakMegabytes();
    std::vector<StoredShot> shots;
    SignatureTable signatures;
    makeShots(count, rng, shots, signatures);
    SceneRandom random;
    const auto t0 = std::chrono::steady_clock::now();
    const std::vector<int> votes = countSceneVotes(shots, count, signatures, random);
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - t0;
    const double peak = peakMegabytes();
    std::printf("shots %5d  %7.3f s  peak %7.1f MB (+%.1f MB)  scene starts %zu\n", count,
                seconds.count(), peak, peak - before, decideSceneStarts(votes, count).size());
  }
  std::printf("targets: 6000 shots under 10 s and under 200 MB\n");
  return 0;
}
