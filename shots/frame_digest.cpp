#include "shots/frame_digest.h"

#include <array>
#include <cstring>

#include "shots/avx512.h"

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

// The last, partial stripe of a row is read zero-padded.
const uint8_t* paddedTail(const uint8_t* row, size_t at, size_t rowBytes, uint8_t* buffer) {
  std::memset(buffer, 0, kStripeBytes);
  std::memcpy(buffer, row + at, rowBytes - at);
  return buffer;
}

void addRowPortable(Lanes& lanes, const uint8_t* row, size_t rowBytes) {
  size_t at = 0;
  int stripe = 0;
  uint8_t tail[kStripeBytes];
  while (at < rowBytes) {
    const uint8_t* data =
        at + kStripeBytes <= rowBytes ? row + at : paddedTail(row, at, rowBytes, tail);
    addStripe(lanes, data, kKey.data() + stripe);
    at += kStripeBytes;
    if (++stripe == kStripesPerBlock) {
      scramble(lanes);
      stripe = 0;
    }
  }
  if (stripe != 0) scramble(lanes);
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

size_t rowBytesOf(const cv::Mat& frame) {
  return static_cast<size_t>(frame.cols) * frame.elemSize();
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

// addRowPortable with the eight lanes in one register.
__attribute__((target("avx512f"))) void addRowWide(Lanes& lanes, const uint8_t* row,
                                                   size_t rowBytes) {
  __m512i acc = _mm512_loadu_si512(lanes.data());
  size_t at = 0;
  int stripe = 0;
  uint8_t tail[kStripeBytes];
  while (at < rowBytes) {
    const uint8_t* data =
        at + kStripeBytes <= rowBytes ? row + at : paddedTail(row, at, rowBytes, tail);
    const __m512i words = _mm512_loadu_si512(data);
    const __m512i keyed = _mm512_xor_si512(words, _mm512_loadu_si512(kKey.data() + stripe));
    // Swaps the two words of each 128-bit pair: lane k gets word k ^ 1.
    const __m512i neighbours = _mm512_shuffle_epi32(words, _MM_PERM_BADC);
    const __m512i product = _mm512_mul_epu32(keyed, _mm512_srli_epi64(keyed, 32));
    acc = _mm512_add_epi64(acc, _mm512_add_epi64(neighbours, product));
    at += kStripeBytes;
    if (++stripe == kStripesPerBlock) {
      acc = scrambleWide(acc);
      stripe = 0;
    }
  }
  if (stripe != 0) acc = scrambleWide(acc);
  _mm512_storeu_si512(lanes.data(), acc);
}

bool hasWideDigest() {
  static const bool has = __builtin_cpu_supports("avx512f");
  return has;
}
#endif

}  // namespace

uint64_t frameDigestPortable(const cv::Mat& frame) {
  Lanes lanes = kStart;
  for (int r = 0; r < frame.rows; ++r)
    addRowPortable(lanes, frame.ptr<uint8_t>(r), rowBytesOf(frame));
  return finish(lanes, frame);
}

uint64_t frameDigest(const cv::Mat& frame) {
#ifdef SHOTSCENE_AVX512
  if (hasWideDigest()) {
    Lanes lanes = kStart;
    for (int r = 0; r < frame.rows; ++r)
      addRowWide(lanes, frame.ptr<uint8_t>(r), rowBytesOf(frame));
    return finish(lanes, frame);
  }
#endif
  return frameDigestPortable(frame);
}

}  // namespace shotscene
