#include "kinds/ParticleWaves.h"

#include "util/FastSine.h"
#include "util/NumericConversion.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <string>

namespace {

constexpr float D = DegreesPerRadian;

size_t PaddedCount(int32_t count) { return (size_t(std::max(count, 0)) + 3) / 4 * 4; }

// One colour channel's wave for the current Pos.
struct TColorWave {
    float Frequency;
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
__m128i ColorChannel4(__m128 t, const TColorWave& w)
{
    const __m128 argument =
        _mm_add_ps(_mm_div_ps(_mm_mul_ps(t, _mm_set1_ps(w.Frequency)), _mm_set1_ps(D)), _mm_set1_ps(w.Drift));
    const __m128 value = _mm_add_ps(_mm_mul_ps(FastSine4(argument), _mm_set1_ps(w.Amplitude)), _mm_set1_ps(w.Base));
    return _mm_cvttps_epi32(value);
}

// Four pixels 0x00RRGGBB; the saturating packs clamp each channel to 0..255.
__m128i Colors4(__m128 t, const TColorWave (&waves)[3])
{
    const __m128i red = ColorChannel4(t, waves[0]);
    const __m128i green = ColorChannel4(t, waves[1]);
    const __m128i blue = ColorChannel4(t, waves[2]);
    // Bytes b0..b3 g0..g3 r0..r3 0 0 0 0.
    const __m128i bytes =
        _mm_packus_epi16(_mm_packs_epi32(blue, green), _mm_packs_epi32(red, _mm_setzero_si128()));
    const __m128i blueGreen = _mm_unpacklo_epi8(bytes, _mm_srli_si128(bytes, 4));
    const __m128i redZero = _mm_unpacklo_epi8(_mm_srli_si128(bytes, 8), _mm_srli_si128(bytes, 12));
    return _mm_unpacklo_epi16(blueGreen, redZero);
}

#else

template <bool First>
void SumWave(const float* chain, float phase, float frequency, float amplitude, float* axis, size_t padded)
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
        axis_.assign(padded, 0.0f);
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
    axis_ = {};
    TParticleSystem::FreeParticles();
}

void TParticleWaves::ComputePoints()
{
    static constexpr float TVector3d::*coordinates[WaveAxisCount] = {&TVector3d::X, &TVector3d::Y, &TVector3d::Z};
    const size_t count = size_t(ParticleCount);
    const size_t padded = chain_.size();
    for (size_t axis = 0; axis < WaveAxisCount; ++axis) {
        bool summed = false;
        for (const auto& wave : Waves) {
            const TWaveComponent& c = wave[axis];
            const float amplitude = c.AMBase + c.AMAmplitude * std::sin(Pos * c.AMFrequency / D);
            if (amplitude == 0.0f)
                continue;
            const float frequency = (c.FMBase + c.FMAmplitude * std::sin(Pos * c.FMFrequency / D)) / D;
            if (summed)
                SumWave<false>(chain_.data(), c.Phase, frequency, amplitude, axis_.data(), padded);
            else
                SumWave<true>(chain_.data(), c.Phase, frequency, amplitude, axis_.data(), padded);
            summed = true;
        }
        float TVector3d::*const coordinate = coordinates[axis];
        for (size_t k = 0; k < count; ++k)
            Points[k].*coordinate = summed ? axis_[k] : 0.0f;
    }
}

void TParticleWaves::ComputeColors()
{
    const TColorWave waves[3] = {{FreqRed, Pos * ShiftRed, AmpRed, BaseRed},
                                 {FreqGreen, Pos * ShiftGreen, AmpGreen, BaseGreen},
                                 {FreqBlue, Pos * ShiftBlue, AmpBlue, BaseBlue}};
    const size_t count = size_t(ParticleCount);
#if defined(__SSE2__)
    size_t k = 0;
    for (; k + 4 <= count; k += 4)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(Colors + k), Colors4(_mm_loadu_ps(chain_.data() + k), waves));
    if (k < count) {
        alignas(16) TPixel rest[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(rest), Colors4(_mm_loadu_ps(chain_.data() + k), waves));
        std::copy(rest, rest + (count - k), Colors + k);
    }
#else
    for (size_t k = 0; k < count; ++k) {
        const float t = chain_[k];
        Colors[k] = ColorChannel(t, waves[0]) << 16 | ColorChannel(t, waves[1]) << 8 | ColorChannel(t, waves[2]);
    }
#endif
}
