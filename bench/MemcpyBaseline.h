#pragma once
// The yardstick every hot-path benchmark reports beside itself: a memcpy of the same
// number of bytes, in the same run.

#include <benchmark/benchmark.h>

#include <chrono>
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


// The same yardstick taken between the iterations of another benchmark: each iteration's
// work and a memcpy of the given bytes are timed back to back, and x_memcpy reports the
// work's total over the memcpy's. On a machine whose load changes during a run the two move
// together, where separate benchmarks minutes apart do not.
class TMemcpyBeside {
public:
    explicit TMemcpyBeside(size_t bytes) : src_(bytes, 1), dst_(bytes) {}

    template <class TWork>
    void Time(benchmark::State& state, TWork&& work)
    {
        const auto start = Clock::now();
        work();
        const auto middle = Clock::now();
        state.PauseTiming();
        std::memcpy(dst_.data(), src_.data(), src_.size());
        benchmark::DoNotOptimize(dst_.data());
        benchmark::ClobberMemory();
        work_ += middle - start;
        memcpy_ += Clock::now() - middle;
        state.ResumeTiming();
    }

    void Report(benchmark::State& state) const
    {
        if (memcpy_.count() > 0)
            state.counters["x_memcpy"] = double(work_.count()) / double(memcpy_.count());
    }

private:
    using Clock = std::chrono::steady_clock;
    std::vector<uint8_t> src_, dst_;
    Clock::duration work_{}, memcpy_{};
};
