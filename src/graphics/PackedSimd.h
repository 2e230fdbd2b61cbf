#pragma once
// Which packed instruction set the filters' packed paths are compiled with: SSE2 on x86-64,
// NEON on ARM, none elsewhere (the plain paths then run).

#if defined(__SSE2__)
#include <immintrin.h>
#define LUMENFALL_PACKED_SSE2 1
#elif defined(__ARM_NEON)
#include <arm_neon.h>
#define LUMENFALL_PACKED_NEON 1
#endif
