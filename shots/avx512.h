// AVX-512 intrinsics for the few loops that pick them at run time.
#ifndef SHOTSCENE_SHOTS_AVX512_H_
#define SHOTSCENE_SHOTS_AVX512_H_

#if defined(__x86_64__) && defined(__GNUC__)
// GCC 12's intrinsics pass an uninitialised operand they never use and warn of
// it wherever they are inlined.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>
#pragma GCC diagnostic pop
#define SHOTSCENE_AVX512 1
#endif

#endif  // SHOTSCENE_SHOTS_AVX512_H_
