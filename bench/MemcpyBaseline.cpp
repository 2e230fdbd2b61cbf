#include "MemcpyBaseline.h"

static void BM_Memcpy_1920x1080(benchmark::State& state) { RunMemcpyBaseline(state, size_t(1920) * 1080 * 4); }
static void BM_Memcpy_3840x2160(benchmark::State& state) { RunMemcpyBaseline(state, size_t(3840) * 2160 * 4); }
BENCHMARK(BM_Memcpy_1920x1080)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Memcpy_3840x2160)->Unit(benchmark::kMicrosecond);
