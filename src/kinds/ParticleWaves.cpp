#include "kinds/ParticleWaves.h"

#include "graphics/GfxTool.h"
#include "util/FastSine.h"
#include "util/NumericConversion.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <limits>
#include <cmath>
#include <new>
#include <string>

namespace {

constexpr float D = DegreesPerRadian;

// Padded to whole vectors of the widest path.
size_t PaddedCount(int32_t count) { return (size_t(std::max(count, 0)) + 7) / 8 * 8; }

// One colour channel's wave for the current Pos.
struct TColorWave {
    float Frequency;
    // t * Frequency / D of every particle (padded like the chain).
    const float* Angles;
    // Pos times the channel's shift.
    float Drift;
    float Amplitude;
    float Base;
};

#if defined(__SSE2__)

// axis[k] = amplitude * sin((chain[k] + phase) * frequency), added to axis[k] unless First.
template <bool First>
void SumWave(const float* chain, float phase, float frequency, float amplitude, float* axis, size_t padded)
{
    const __m128 p = _mm_set1_ps(phase);
    const __m128 f = _mm_set1_ps(frequency);
    const __m128 a = _mm_set1_ps(amplitude);
    for (size_t k = 0; k < padded; k += 4) {
        __m128 term = _mm_mul_ps(a, FastSine4(_mm_mul_ps(_mm_add_ps(_mm_loadu_ps(chain + k), p), f)));
        if constexpr (!First)
            term = _mm_add_ps(_mm_loadu_ps(axis + k), term);
        _mm_storeu_ps(axis + k, term);
    }
}

// trunc(sin(t * Frequency / D + Drift) * Amplitude + Base); the truncating conversion gives
// INT32_MIN for NaN and out-of-range values, as TruncToInt does.
__m128i ColorChannel4(size_t k, const TColorWave& w)
{
    const __m128 argument = _mm_add_ps(_mm_loadu_ps(w.Angles + k), _mm_set1_ps(w.Drift));
    const __m128 value = _mm_add_ps(_mm_mul_ps(FastSine4(argument), _mm_set1_ps(w.Amplitude)), _mm_set1_ps(w.Base));
    return _mm_cvttps_epi32(value);
}

// Four pixels 0x00RRGGBB from the channels; the saturating packs clamp each to 0..255.
__m128i PackColors4(__m128i red, __m128i green, __m128i blue)
{
    // Bytes b0..b3 g0..g3 r0..r3 0 0 0 0.
    const __m128i bytes =
        _mm_packus_epi16(_mm_packs_epi32(blue, green), _mm_packs_epi32(red, _mm_setzero_si128()));
    const __m128i blueGreen = _mm_unpacklo_epi8(bytes, _mm_srli_si128(bytes, 4));
    const __m128i redZero = _mm_unpacklo_epi8(_mm_srli_si128(bytes, 8), _mm_srli_si128(bytes, 12));
    return _mm_unpacklo_epi16(blueGreen, redZero);
}

// Particles k .. k + 3.
__m128i Colors4(size_t k, const TColorWave (&waves)[3])
{
    return PackColors4(ColorChannel4(k, waves[0]), ColorChannel4(k, waves[1]), ColorChannel4(k, waves[2]));
}

// The same eight lanes wide, for processors with AVX2: the same operations lane by lane.
template <bool First>
__attribute__((target("avx2"))) void SumWave8(const float* chain, float phase, float frequency, float amplitude,
                                              float* axis, size_t padded)
{
    const __m256 p = _mm256_set1_ps(phase);
    const __m256 f = _mm256_set1_ps(frequency);
    const __m256 a = _mm256_set1_ps(amplitude);
    for (size_t k = 0; k < padded; k += 8) {
        __m256 term = _mm256_mul_ps(a, FastSine8(_mm256_mul_ps(_mm256_add_ps(_mm256_loadu_ps(chain + k), p), f)));
        if constexpr (!First)
            term = _mm256_add_ps(_mm256_loadu_ps(axis + k), term);
        _mm256_storeu_ps(axis + k, term);
    }
}

__attribute__((target("avx2"))) __m256i ColorChannel8(size_t k, const TColorWave& w)
{
    const __m256 argument = _mm256_add_ps(_mm256_loadu_ps(w.Angles + k), _mm256_set1_ps(w.Drift));
    const __m256 value =
        _mm256_add_ps(_mm256_mul_ps(FastSine8(argument), _mm256_set1_ps(w.Amplitude)), _mm256_set1_ps(w.Base));
    return _mm256_cvttps_epi32(value);
}

// Colours of the particles k .. count - 1, as many as whole groups of eight cover; returns
// the first particle left.
__attribute__((target("avx2"))) size_t Colors8(TPixel* colors, size_t k, size_t count, const TColorWave (&waves)[3])
{
    for (; k + 8 <= count; k += 8) {
        const __m256i red = ColorChannel8(k, waves[0]), green = ColorChannel8(k, waves[1]);
        const __m256i blue = ColorChannel8(k, waves[2]);
        auto* out = reinterpret_cast<__m128i*>(colors + k);
        _mm_storeu_si128(out, PackColors4(_mm256_castsi256_si128(red), _mm256_castsi256_si128(green),
                                          _mm256_castsi256_si128(blue)));
        _mm_storeu_si128(out + 1, PackColors4(_mm256_extracti128_si256(red, 1), _mm256_extracti128_si256(green, 1),
                                              _mm256_extracti128_si256(blue, 1)));
    }
    return k;
}

// The same sixteen lanes wide, for processors with AVX-512; the last eight of a padded chain
// go through masked loads and stores.
template <bool First>
__attribute__((target("avx512f"))) void SumWave16(const float* chain, float phase, float frequency, float amplitude,
                                                  float* axis, size_t padded)
{
    const __m512 p = _mm512_set1_ps(phase);
    const __m512 f = _mm512_set1_ps(frequency);
    const __m512 a = _mm512_set1_ps(amplitude);
    for (size_t k = 0; k < padded; k += 16) {
        const __mmask16 lanes = padded - k >= 16 ? __mmask16(0xFFFF) : __mmask16(0x00FF);
        __m512 term = _mm512_mul_ps(a, FastSine16(_mm512_mul_ps(_mm512_add_ps(_mm512_maskz_loadu_ps(lanes, chain + k), p), f)));
        if constexpr (!First)
            term = _mm512_add_ps(_mm512_maskz_loadu_ps(lanes, axis + k), term);
        _mm512_mask_storeu_ps(axis + k, lanes, term);
    }
}

__attribute__((target("avx512f"))) __m512i ColorChannel16(size_t k, const TColorWave& w)
{
    const __m512 argument = _mm512_add_ps(_mm512_loadu_ps(w.Angles + k), _mm512_set1_ps(w.Drift));
    const __m512 value =
        _mm512_add_ps(_mm512_mul_ps(FastSine16(argument), _mm512_set1_ps(w.Amplitude)), _mm512_set1_ps(w.Base));
    return _mm512_maskz_cvttps_epi32(0xFFFF, value);
}

// The same sixteen at a time from particle 0.
__attribute__((target("avx512f"))) size_t Colors16(TPixel* colors, size_t count, const TColorWave (&waves)[3])
{
    size_t k = 0;
    for (; k + 16 <= count; k += 16) {
        alignas(64) int32_t channels[3][16];
        for (size_t c = 0; c < 3; ++c)
            _mm512_store_si512(channels[c], ColorChannel16(k, waves[c]));
        for (size_t q = 0; q < 16; q += 4) {
            const auto quarter = [&](size_t c) { return _mm_load_si128(reinterpret_cast<const __m128i*>(channels[c] + q)); };
            _mm_storeu_si128(reinterpret_cast<__m128i*>(colors + k + q), PackColors4(quarter(0), quarter(1), quarter(2)));
        }
    }
    return k;
}

// The wave term of every particle on the widest path the processor has.
template <bool First>
void SumWaveChosen(const float* chain, float phase, float frequency, float amplitude, float* axis, size_t padded)
{
    if (HasAVX512)
        SumWave16<First>(chain, phase, frequency, amplitude, axis, padded);
    else if (HasAVX2)
        SumWave8<First>(chain, phase, frequency, amplitude, axis, padded);
    else
        SumWave<First>(chain, phase, frequency, amplitude, axis, padded);
}

#else

template <bool First>
void SumWaveChosen(const float* chain, float phase, float frequency, float amplitude, float* axis, size_t padded)
{
    for (size_t k = 0; k < padded; ++k) {
        const float term = amplitude * FastSine((chain[k] + phase) * frequency);
        axis[k] = First ? term : axis[k] + term;
    }
}

uint32_t ColorChannel(float t, const TColorWave& w)
{
    const float value = FastSine(t * w.Frequency / D + w.Drift) * w.Amplitude + w.Base;
    return uint32_t(std::clamp(TruncToInt(value), 0, 255));
}

#endif

} // namespace

void TParticleWaves::ApplyWaveConfig(const TWaveConfig& config)
{
    SetParticleCount(config.ParticleCount);
    SetRenderMode(config.RenderMode);
    Waves = config.Waves;
    Speed = config.Speed;
    Pos = config.Pos;
    BaseRed = config.BaseRed;
    BaseGreen = config.BaseGreen;
    BaseBlue = config.BaseBlue;
    AmpRed = config.AmpRed;
    AmpGreen = config.AmpGreen;
    AmpBlue = config.AmpBlue;
    FreqRed = config.FreqRed;
    FreqGreen = config.FreqGreen;
    FreqBlue = config.FreqBlue;
    ShiftRed = config.ShiftRed;
    ShiftGreen = config.ShiftGreen;
    ShiftBlue = config.ShiftBlue;
    Angle = config.Angle;
    Rot = config.Rot;
}

void TParticleWaves::Move()
{
    if (ParticleCount > 0) {
        ComputePoints();
        ComputeColors();
    }
    Pos = Pos + Speed;
    TParticleSystem::Move();
}

void TParticleWaves::AllocateParticles()
{
    TParticleSystem::AllocateParticles();
    const size_t padded = PaddedCount(ParticleCount);
    try {
        chain_.assign(padded, 0.0f);
        for (std::vector<float>& axis : axes_)
            axis.assign(padded, 0.0f);
        for (std::vector<float>& angles : colorAngles_)
            angles.assign(padded, 0.0f);
        colorAngleFrequencies_.fill(std::numeric_limits<float>::quiet_NaN());
    } catch (const std::bad_alloc&) {
        throw EParticleSystemError("TParticleWaves.AllocateParticles : Out of memory for " +
                                   std::to_string(ParticleCount) + " particles");
    }
    if (padded == 0)
        return;
    const float step = 360.0f / float(ParticleCount);
    float t = 0.0f;
    for (float& entry : chain_) {
        entry = t;
        t = t + step;
    }
}

void TParticleWaves::FreeParticles()
{
    chain_ = {};
    axes_ = {};
    colorAngles_ = {};
    TParticleSystem::FreeParticles();
}

void TParticleWaves::ComputePoints()
{
    const size_t count = size_t(ParticleCount);
    const size_t padded = chain_.size();
    for (size_t axis = 0; axis < WaveAxisCount; ++axis) {
        float* sum = axes_[axis].data();
        bool summed = false;
        for (const auto& wave : Waves) {
            const TWaveComponent& c = wave[axis];
            const float amplitude = c.AMBase + c.AMAmplitude * std::sin(Pos * c.AMFrequency / D);
            if (amplitude == 0.0f)
                continue;
            const float frequency = (c.FMBase + c.FMAmplitude * std::sin(Pos * c.FMFrequency / D)) / D;
            if (summed)
                SumWaveChosen<false>(chain_.data(), c.Phase, frequency, amplitude, sum, padded);
            else
                SumWaveChosen<true>(chain_.data(), c.Phase, frequency, amplitude, sum, padded);
            summed = true;
        }
        if (!summed)
            std::fill(sum, sum + padded, 0.0f);
    }
    const float *x = axes_[0].data(), *y = axes_[1].data(), *z = axes_[2].data();
    for (size_t k = 0; k < count; ++k)
        Points[k] = {x[k], y[k], z[k]};
}

void TParticleWaves::ComputeColors()
{
#if defined(__SSE2__)
    // t * Frequency / D changes only with the frequency: worked out again when that changes.
    const float frequencies[3] = {FreqRed, FreqGreen, FreqBlue};
    for (size_t c = 0; c < 3; ++c) {
        if (std::bit_cast<uint32_t>(frequencies[c]) == std::bit_cast<uint32_t>(colorAngleFrequencies_[c]))
            continue;
        colorAngleFrequencies_[c] = frequencies[c];
        for (size_t k = 0; k < chain_.size(); ++k)
            colorAngles_[c][k] = chain_[k] * frequencies[c] / D;
    }
    const TColorWave waves[3] = {{FreqRed, colorAngles_[0].data(), Pos * ShiftRed, AmpRed, BaseRed},
                                 {FreqGreen, colorAngles_[1].data(), Pos * ShiftGreen, AmpGreen, BaseGreen},
                                 {FreqBlue, colorAngles_[2].data(), Pos * ShiftBlue, AmpBlue, BaseBlue}};
    const size_t count = size_t(ParticleCount);
    size_t k = HasAVX512 ? Colors16(Colors, count, waves) : 0;
    if (HasAVX2)
        k = Colors8(Colors, k, count, waves);
    for (; k + 4 <= count; k += 4)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(Colors + k), Colors4(k, waves));
    if (k < count) {
        alignas(16) TPixel rest[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(rest), Colors4(k, waves));
        std::copy(rest, rest + (count - k), Colors + k);
    }
#else
    const TColorWave waves[3] = {{FreqRed, nullptr, Pos * ShiftRed, AmpRed, BaseRed},
                                 {FreqGreen, nullptr, Pos * ShiftGreen, AmpGreen, BaseGreen},
                                 {FreqBlue, nullptr, Pos * ShiftBlue, AmpBlue, BaseBlue}};
    for (size_t k = 0; k < size_t(ParticleCount); ++k) {
        const float t = chain_[k];
        Colors[k] = ColorChannel(t, waves[0]) << 16 | ColorChannel(t, waves[1]) << 8 | ColorChannel(t, waves[2]);
    }
#endif
}
