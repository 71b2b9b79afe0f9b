// A fast 64-bit digest of a frame's pixels, to tell whether a seek landed on
// the frame sequential decoding gave.
#ifndef SHOTSCENE_VIDEO_FRAME_DIGEST_H_
#define SHOTSCENE_VIDEO_FRAME_DIGEST_H_

#include <cstdint>
#include <opencv2/core.hpp>

namespace shotscene {

// A digest of the frame's size, type and every pixel byte, in row order. It is
// compared only within one run and never stored: AVX-512 computes it where the
// CPU has it, and both paths give the same value.
uint64_t frameDigest(const cv::Mat& frame);

// The same digest without AVX-512.
uint64_t frameDigestPortable(const cv::Mat& frame);

}  // namespace shotscene

#endif  // SHOTSCENE_VIDEO_FRAME_DIGEST_H_
