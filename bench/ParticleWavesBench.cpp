#include "kinds/ParticleWaves.h"
#include "util/FastSine.h"

#include "MemcpyBaseline.h"
#include "kinds/BusyWaveConfig.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

// Arg: particle count.
void BM_ParticleWavesMove(benchmark::State& state)
{
    TWaveConfig config;
    MakeBusy(config, int32_t(state.range(0)));
    TParticleWaves system;
    system.ApplyWaveConfig(config);
    for (auto _ : state) {
        system.Move();
        benchmark::DoNotOptimize(system.Points);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * state.range(0));
}

// The points and colours one wave step writes.
void BM_Memcpy_WavePoints(benchmark::State& state)
{
    RunMemcpyBaseline(state, size_t(state.range(0)) * (sizeof(TVector3d) + sizeof(TPixel)));
}

// The arguments of one 40000-particle frame: twelve sines each.
constexpr size_t kFrameSines = 480000;

std::vector<float> FrameArguments()
{
    std::vector<float> arguments(kFrameSines);
    for (size_t i = 0; i < arguments.size(); ++i)
        arguments[i] = float(i % 40000) * 0.009f * float(1 + i / 40000) - 40.0f;
    return arguments;
}

void BM_Sinf_FrameSines(benchmark::State& state)
{
    const std::vector<float> arguments = FrameArguments();
    std::vector<float> sines(arguments.size());
    for (auto _ : state) {
        for (size_t i = 0; i < arguments.size(); ++i)
            sines[i] = std::sin(arguments[i]);
        benchmark::DoNotOptimize(sines.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(kFrameSines));
}

void BM_FastSines_FrameSines(benchmark::State& state)
{
    const std::vector<float> arguments = FrameArguments();
    std::vector<float> sines(arguments.size());
    for (auto _ : state) {
        FastSines(arguments.data(), sines.data(), arguments.size());
        benchmark::DoNotOptimize(sines.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(kFrameSines));
}

void BM_Memcpy_FrameSines(benchmark::State& state) { RunMemcpyBaseline(state, kFrameSines * sizeof(float)); }

} // namespace

BENCHMARK(BM_ParticleWavesMove)->Arg(200)->Arg(5000)->Arg(40000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Memcpy_WavePoints)->Arg(40000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Sinf_FrameSines)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FastSines_FrameSines)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Memcpy_FrameSines)->Unit(benchmark::kMicrosecond);
