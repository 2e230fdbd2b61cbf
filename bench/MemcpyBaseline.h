#pragma once
// The yardstick every hot-path benchmark reports beside itself: a memcpy of the same
// number of bytes, in the same run.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

inline void RunMemcpyBaseline(benchmark::State& state, size_t bytes)
{
    std::vector<uint8_t> src(bytes, 1), dst(bytes);
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), bytes);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

