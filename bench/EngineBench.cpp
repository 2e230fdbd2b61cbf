// Per-frame cost of a particle cloud: transform and projection of 40000 particles, and
// plotting them in each render mode, at full-HD and 4K (compare BM_Memcpy_* of the same
// raster size).

#include <benchmark/benchmark.h>

#include "engine/ParticleSystem.h"

#include <random>
#include <string>
#include <utility>

namespace {

constexpr int32_t kParticles = 40000;

// A cloud spread over the whole raster, a little in front of and behind the plane z = 0,
// turning a little every frame.
struct TCloudScene {
    TDIBRaster Raster;
    TWorld3d World;
    TParticleSystem System;

    TCloudScene(int32_t width, int32_t height)
        : Raster(width, height),
          World(ZeroPosition, -float((width + height) / 2), ZeroAngle, {width / 2, height / 2})
    {
        System.SetParticleCount(kParticles);
        System.Raster = &Raster;
        System.Rot = {0.3f, 0.7f, 0.1f};
        World.Add(&System);
        std::mt19937 random(1);
        std::uniform_real_distribution<float> x(-width / 2.0f, width / 2.0f);
        std::uniform_real_distribution<float> y(-height / 2.0f, height / 2.0f);
        std::uniform_real_distribution<float> z(-height / 4.0f, height / 4.0f);
        for (int32_t i = 0; i < kParticles; ++i) {
            System.Points[i] = {x(random), y(random), z(random)};
            System.Colors[i] = TPixel(random()) & 0x00FFFFFFu;
        }
        System.Transform();
        System.Project();
    }
};

void TransformAndProject(benchmark::State& state, int32_t width, int32_t height)
{
    TCloudScene scene(width, height);
    for (auto _ : state) {
        scene.System.Move();
        scene.System.Transform();
        scene.System.Project();
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kParticles);
}

void Plot(benchmark::State& state, int32_t width, int32_t height, TRenderMode mode)
{
    TCloudScene scene(width, height);
    scene.System.SetRenderMode(mode);
    for (auto _ : state) {
        scene.System.Render();
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kParticles);
}

// The whole per-frame path of one system.
void Frame(benchmark::State& state, int32_t width, int32_t height, TRenderMode mode)
{
    TCloudScene scene(width, height);
    scene.System.SetRenderMode(mode);
    for (auto _ : state) {
        scene.World.StepAll();
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kParticles);
}

[[maybe_unused]] const bool registered = [] {
    struct TMode {
        const char* Name;
        TRenderMode Mode;
    };
    const TMode modes[] = {{"Dots", TRenderMode::rmDraw},
                           {"Mix", TRenderMode::rmDrawMixMode},
                           {"Stars", TRenderMode::rmDrawStars}};
    for (auto [width, height] : {std::pair{1920, 1080}, std::pair{3840, 2160}}) {
        const std::string size = "_40000_" + std::to_string(width) + "x" + std::to_string(height);
        benchmark::RegisterBenchmark(("BM_TransformProject" + size).c_str(), TransformAndProject, width, height)
            ->Unit(benchmark::kMicrosecond);
        for (const TMode& mode : modes)
            benchmark::RegisterBenchmark(("BM_Plot" + std::string(mode.Name) + size).c_str(), Plot, width, height,
                                         mode.Mode)
                ->Unit(benchmark::kMicrosecond);
        for (const TMode& mode : modes)
            benchmark::RegisterBenchmark(("BM_Frame" + std::string(mode.Name) + size).c_str(), Frame, width, height,
                                         mode.Mode)
                ->Unit(benchmark::kMicrosecond);
    }
    return true;
}();

} // namespace
