#include "scenes/scene_random.h"

namespace shotscene {

int nextRandom(SceneRandom& random) {
  random.state = random.state * 214013u + 2531011u;
  return static_cast<int>((random.state >> 16) & 0x7FFFu);
}

int drawWindow(int draw) {
  return 700 - static_cast<int>(static_cast<double>(draw) * 3.0517578125e-5 * -4300.0);
}

double drawThreshold(int draw) { return static_cast<double>(draw) / 32767.0 * 0.75; }

}  // namespace shotscene
