// AVX-512 intrinsics for the few loops that pick them at run time.
#ifndef SHOTSCENE_COMMON_AVX512_H_
#define SHOTSCENE_COMMON_AVX512_H_

#if defined(__x86_64__) && defined(__GNUC__)
#if defined(__clang__)
#include <immintrin.h>
#else
// GCC 12's intrinsics pass an uninitialised operand they never use and warn of
// it wherever they are inlined.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#include <immintrin.h>
#pragma GCC diagnostic pop
#endif
#define SHOTSCENE_AVX512 1
#endif

#endif  // SHOTSCENE_COMMON_AVX512_H_
