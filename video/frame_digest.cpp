#include "video/frame_digest.h"

#include <array>
#include <cstring>

#include "common/avx512.h"

namespace shotscene {

namespace {

// Rows are read in 64-byte stripes of eight 64-bit words, each word going to
// its own lane. A lane adds its neighbour's word and the product of the two
// halves of its own word mixed with a key; the key shifts by one word per
// stripe, so equal stripes at different places add differently. Every 16
// stripes and at the end of each row the lanes are scrambled, which makes the
// order of blocks and rows count.
constexpr int kLanes = 8;
constexpr int kStripeBytes = 64;
constexpr int kStripesPerBlock = 16;
constexpr uint64_t kPrime1 = 0x9E3779B185EBCA87ULL;
constexpr uint64_t kPrime2 = 0xC2B2AE3D27D4EB4FULL;
constexpr uint64_t kScramblePrime = 0x9E3779B1ULL;

constexpr uint64_t splitMix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ULL;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
  return x ^ (x >> 31);
}

// Words 0..22 key the stripes of a block; words 24..31 key the scramble.
constexpr int kKeyWords = 32;
constexpr int kScrambleKey = 24;
constexpr std::array<uint64_t, kKeyWords> makeKey() {
  std::array<uint64_t, kKeyWords> key{};
  for (int i = 0; i < kKeyWords; ++i) key[i] = splitMix(static_cast<uint64_t>(i) + 1);
  return key;
}
alignas(64) constexpr std::array<uint64_t, kKeyWords> kKey = makeKey();

using Lanes = std::array<uint64_t, kLanes>;

constexpr Lanes kStart = {kPrime1,     kPrime2,     kPrime1 ^ kPrime2, kPrime2 * 3,
                          kPrime1 * 5, kPrime2 * 7, kPrime1 * 11,      kPrime2 * 13};

uint64_t rotateLeft(uint64_t v, int bits) { return (v << bits) | (v >> (64 - bits)); }

uint64_t digestRound(uint64_t h, uint64_t word) {
  return rotateLeft(h + word * kPrime2, 31) * kPrime1;
}

void addStripe(Lanes& lanes, const uint8_t* stripe, const uint64_t* key) {
  uint64_t words[kLanes];
  std::memcpy(words, stripe, kStripeBytes);
  for (int k = 0; k < kLanes; ++k) {
    const uint64_t keyed = words[k] ^ key[k];
    lanes[k] += words[k ^ 1] + (keyed & 0xFFFFFFFFULL) * (keyed >> 32);
  }
}

void scramble(Lanes& lanes) {
  for (int k = 0; k < kLanes; ++k) {
    lanes[k] = (lanes[k] ^ (lanes[k] >> 47) ^ kKey[kScrambleKey + k]) * kScramblePrime;
  }
}

// Adds `count` (at most 16) stripes keyed from the block's start, then scrambles.
using AddBlock = void (*)(Lanes& lanes, const uint8_t* stripes, int count);

void addBlockPortable(Lanes& lanes, const uint8_t* stripes, int count) {
  for (int s = 0; s < count; ++s) addStripe(lanes, stripes + s * kStripeBytes, kKey.data() + s);
  scramble(lanes);
}

// A row is taken in blocks of 16 stripes; its last, partial stripe is read zero-padded.
void addRow(Lanes& lanes, const uint8_t* row, size_t rowBytes, AddBlock addBlock) {
  const size_t blockBytes = kStripesPerBlock * kStripeBytes;
  size_t at = 0;
  for (; at + blockBytes <= rowBytes; at += blockBytes) addBlock(lanes, row + at, kStripesPerBlock);
  if (at == rowBytes) return;
  const size_t rest = rowBytes - at;
  const int stripes = static_cast<int>((rest + kStripeBytes - 1) / kStripeBytes);
  if (rest % kStripeBytes == 0) {
    addBlock(lanes, row + at, stripes);
    return;
  }
  alignas(64) uint8_t padded[blockBytes] = {};
  std::memcpy(padded, row + at, rest);
  addBlock(lanes, padded, stripes);
}

uint64_t finish(const Lanes& lanes, const cv::Mat& frame) {
  uint64_t h = kPrime1;
  h = digestRound(h, static_cast<uint64_t>(frame.rows));
  h = digestRound(h, static_cast<uint64_t>(frame.cols));
  h = digestRound(h, static_cast<uint64_t>(frame.type()));
  for (const uint64_t lane : lanes) h = digestRound(h, lane);
  h ^= h >> 33;
  h *= kPrime2;
  h ^= h >> 29;
  h *= kPrime1;
  h ^= h >> 32;
  return h;
}

#ifdef SHOTSCENE_AVX512
__attribute__((target("avx512f"))) __m512i scrambleWide(__m512i acc) {
  acc = _mm512_xor_si512(acc, _mm512_srli_epi64(acc, 47));
  acc = _mm512_xor_si512(acc, _mm512_loadu_si512(kKey.data() + kScrambleKey));
  // Times a 32-bit prime: the low half's product plus the high half's, shifted.
  const __m512i prime = _mm512_set1_epi64(static_cast<long long>(kScramblePrime));
  const __m512i low = _mm512_mul_epu32(acc, prime);
  const __m512i high = _mm512_mul_epu32(_mm512_srli_epi64(acc, 32), prime);
  return _mm512_add_epi64(low, _mm512_slli_epi64(high, 32));
}

// addBlockPortable with the eight lanes in one register.
__attribute__((target("avx512f"))) void addBlockWide(Lanes& lanes, const uint8_t* stripes,
                                                     int count) {
  __m512i acc = _mm512_loadu_si512(lanes.data());
  for (int s = 0; s < count; ++s) {
    const __m512i words = _mm512_loadu_si512(stripes + s * kStripeBytes);
    const __m512i keyed = _mm512_xor_si512(words, _mm512_loadu_si512(kKey.data() + s));
    // Swaps the two words of each 128-bit pair: lane k gets word k ^ 1.
    const __m512i neighbours = _mm512_shuffle_epi32(words, _MM_PERM_BADC);
    const __m512i product = _mm512_mul_epu32(keyed, _mm512_srli_epi64(keyed, 32));
    acc = _mm512_add_epi64(acc, _mm512_add_epi64(neighbours, product));
  }
  _mm512_storeu_si512(lanes.data(), scrambleWide(acc));
}

bool hasWideDigest() {
  static const bool has = __builtin_cpu_supports("avx512f");
  return has;
}
#endif

uint64_t digestWith(const cv::Mat& frame, AddBlock addBlock) {
  Lanes lanes = kStart;
  const size_t rowBytes = static_cast<size_t>(frame.cols) * frame.elemSize();
  for (int r = 0; r < frame.rows; ++r) addRow(lanes, frame.ptr<uint8_t>(r), rowBytes, addBlock);
  return finish(lanes, frame);
}

}  // namespace

uint64_t frameDigestPortable(const cv::Mat& frame) { return digestWith(frame, addBlockPortable); }

uint64_t frameDigest(const cv::Mat& frame) {
#ifdef SHOTSCENE_AVX512
  if (hasWideDigest()) return digestWith(frame, addBlockWide);
#endif
  return frameDigestPortable(frame);
}

}  // namespace shotscene
