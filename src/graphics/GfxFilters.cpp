#include "graphics/GfxFilters.h"

#include "util/NumericConversion.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <utility>

#if defined(__SSE2__)
#include <immintrin.h>
#define LUMENFALL_PACKED_SSE2 1
#elif defined(__ARM_NEON)
#include <arm_neon.h>
#define LUMENFALL_PACKED_NEON 1
#endif

namespace {

// The filters' own degrees constant, finer than the engine's single-precision one.
constexpr double kDegreesPerRadian = 57.29577951308232;

// No raster is larger (TDIBRaster's limits), so no filter needs to be either.
constexpr int32_t kMaxSide = 32768;
constexpr int64_t kMaxPixels = int64_t(1) << 28;

std::string SizeText(int32_t width, int32_t height) { return std::to_string(width) + " x " + std::to_string(height); }

std::string SizeText(const TDIBRaster& raster) { return SizeText(raster.Width(), raster.Height()); }

// ---- sine tables ---------------------------------------------------------------------

// i·360·f / n degrees, in radians.
float SineAngle(int32_t i, float frequency, int32_t n)
{
    const float degrees = float(int64_t(i) * 360) * frequency / float(n);
    return float(double(degrees) / kDegreesPerRadian);
}

// Per position i = 0 .. n - 1: the sum over k of a_k·sin(angle), in single precision and in
// the order k = 0 .. 3, truncated to whole pixels.
std::vector<float> ShiftTable(const std::array<float, 4>& amplitudes, const std::array<float, 4>& frequencies,
                              int32_t n)
{
    std::vector<float> table(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) {
        float sum = 0.0f;
        for (size_t k = 0; k < 4; ++k)
            sum += amplitudes[k] * std::sin(SineAngle(i, frequencies[k], n));
        table[size_t(i)] = float(TruncToInt(sum));
    }
    return table;
}

// Per position: the sum over k of a_k·(1 + sin(angle)), not truncated.
std::vector<float> ZoomTable(const std::array<float, 4>& amplitudes, const std::array<float, 4>& frequencies,
                             int32_t n)
{
    std::vector<float> table(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) {
        float sum = 0.0f;
        for (size_t k = 0; k < 4; ++k)
            sum += amplitudes[k] * (1.0f + std::sin(SineAngle(i, frequencies[k], n)));
        table[size_t(i)] = sum;
    }
    return table;
}

// ---- smoothing -----------------------------------------------------------------------

constexpr uint32_t kEvenBytes = 0x00FF00FFu;

// Per byte floor((up + left + right + down) / 4); two bytes share a word, each sum fits its
// 16 bits.
inline TPixel MeanOfFour(TPixel up, TPixel left, TPixel right, TPixel down)
{
    const uint32_t even = (up & kEvenBytes) + (left & kEvenBytes) + (right & kEvenBytes) + (down & kEvenBytes);
    const uint32_t odd = ((up >> 8) & kEvenBytes) + ((left >> 8) & kEvenBytes) + ((right >> 8) & kEvenBytes) +
                         ((down >> 8) & kEvenBytes);
    return ((even >> 2) & kEvenBytes) | (((odd >> 2) & kEvenBytes) << 8);
}

// Per byte (a + b + 1) div 2, without carries between bytes.
inline uint32_t AverageUp(uint32_t a, uint32_t b) { return (a | b) - (((a ^ b) >> 1) & 0x7F7F7F7Fu); }

inline TPixel AverageOfFour(TPixel up, TPixel left, TPixel right, TPixel down)
{
    return AverageUp(AverageUp(up, left), AverageUp(right, down));
}

using TScalarSmooth = TPixel (*)(TPixel, TPixel, TPixel, TPixel);
// Smooths the four pixels p .. p + 3.
using TPackedSmooth = void (*)(const TPixel* s, TPixel* d, size_t w, size_t p);
// Smooths pixels begin .. end - 1 of a source of n pixels, w to a row.
using TSmoothRange = void (*)(const TPixel* s, TPixel* d, size_t w, size_t n, size_t begin, size_t end);

// Pixels per step of the packed loops: one cache line.
constexpr size_t kSmoothStride = 16;
// The lower row is read here for the first time; on rasters larger than the caches the
// processor's own prefetcher leaves the loop waiting for it, so it is asked for this many
// pixels ahead.
constexpr size_t kSmoothPrefetchAhead = 1024;

inline void PrefetchLowerRow(const TPixel* s, size_t w, size_t n, size_t p)
{
    const size_t ahead = p + w + kSmoothPrefetchAhead;
    if (ahead < n)
        __builtin_prefetch(s + ahead);
}

#if defined(LUMENFALL_PACKED_SSE2)

inline __m128i Load4(const TPixel* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

void MeanOfFourPacked(const TPixel* s, TPixel* d, size_t w, size_t p)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i up = Load4(s + p - w), left = Load4(s + p - 1), right = Load4(s + p + 1), down = Load4(s + p + w);
    auto sum = [](__m128i a, __m128i b, __m128i c, __m128i e) {
        return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(a, b), _mm_add_epi16(c, e)), 2);
    };
    const __m128i lo = sum(_mm_unpacklo_epi8(up, zero), _mm_unpacklo_epi8(left, zero), _mm_unpacklo_epi8(right, zero),
                           _mm_unpacklo_epi8(down, zero));
    const __m128i hi = sum(_mm_unpackhi_epi8(up, zero), _mm_unpackhi_epi8(left, zero), _mm_unpackhi_epi8(right, zero),
                           _mm_unpackhi_epi8(down, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + p), _mm_packus_epi16(lo, hi));
}

void AverageOfFourPacked(const TPixel* s, TPixel* d, size_t w, size_t p)
{
    const __m128i upLeft = _mm_avg_epu8(Load4(s + p - w), Load4(s + p - 1));
    const __m128i rightDown = _mm_avg_epu8(Load4(s + p + 1), Load4(s + p + w));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + p), _mm_avg_epu8(upLeft, rightDown));
}

#elif defined(LUMENFALL_PACKED_NEON)

inline uint8x16_t Load4(const TPixel* p) { return vld1q_u8(reinterpret_cast<const uint8_t*>(p)); }

void MeanOfFourPacked(const TPixel* s, TPixel* d, size_t w, size_t p)
{
    const uint8x16_t up = Load4(s + p - w), left = Load4(s + p - 1), right = Load4(s + p + 1), down = Load4(s + p + w);
    const uint16x8_t lo = vaddq_u16(vaddl_u8(vget_low_u8(up), vget_low_u8(left)),
                                    vaddl_u8(vget_low_u8(right), vget_low_u8(down)));
    const uint16x8_t hi = vaddq_u16(vaddl_u8(vget_high_u8(up), vget_high_u8(left)),
                                    vaddl_u8(vget_high_u8(right), vget_high_u8(down)));
    vst1q_u8(reinterpret_cast<uint8_t*>(d + p), vcombine_u8(vshrn_n_u16(lo, 2), vshrn_n_u16(hi, 2)));
}

void AverageOfFourPacked(const TPixel* s, TPixel* d, size_t w, size_t p)
{
    const uint8x16_t upLeft = vrhaddq_u8(Load4(s + p - w), Load4(s + p - 1));
    const uint8x16_t rightDown = vrhaddq_u8(Load4(s + p + 1), Load4(s + p + w));
    vst1q_u8(reinterpret_cast<uint8_t*>(d + p), vrhaddq_u8(upLeft, rightDown));
}

#else

void MeanOfFourPacked(const TPixel* s, TPixel* d, size_t w, size_t p)
{
    for (size_t q = p; q < p + 4; ++q)
        d[q] = MeanOfFour(s[q - w], s[q - 1], s[q + 1], s[q + w]);
}

void AverageOfFourPacked(const TPixel* s, TPixel* d, size_t w, size_t p)
{
    for (size_t q = p; q < p + 4; ++q)
        d[q] = AverageOfFour(s[q - w], s[q - 1], s[q + 1], s[q + w]);
}

#endif

// Pixels begin .. end - 1 of the array read as one long line; every neighbour index stays
// inside the source since begin >= w and end <= n - w.
template <TScalarSmooth Scalar, TPackedSmooth Packed>
void SmoothRange(const TPixel* s, TPixel* d, size_t w, size_t n, size_t begin, size_t end)
{
    size_t p = begin;
    if constexpr (Packed != nullptr) {
        for (; p + kSmoothStride <= end; p += kSmoothStride) {
            PrefetchLowerRow(s, w, n, p);
            for (size_t q = p; q < p + kSmoothStride; q += 4)
                Packed(s, d, w, q);
        }
    }
    for (; p < end; ++p)
        d[p] = Scalar(s[p - w], s[p - 1], s[p + 1], s[p + w]);
}

#if defined(LUMENFALL_PACKED_SSE2) && defined(__GNUC__)
#define LUMENFALL_PACKED_AVX2 1

// The packed paths again, eight pixels per instruction; chosen at run time, so only these
// functions may use AVX2.
__attribute__((target("avx2"))) inline __m256i Load8(const TPixel* p)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// A quarter of the sum of four vectors of 16-bit lanes.
__attribute__((target("avx2"))) inline __m256i QuarterSum(__m256i a, __m256i b, __m256i c, __m256i e)
{
    return _mm256_srli_epi16(_mm256_add_epi16(_mm256_add_epi16(a, b), _mm256_add_epi16(c, e)), 2);
}

// Unpacking and packing work within each 128-bit half, so the pixels keep their order.
__attribute__((target("avx2"))) inline __m256i MeanOfFour8(__m256i up, __m256i left, __m256i right, __m256i down)
{
    const __m256i zero = _mm256_setzero_si256();
    const __m256i lo = QuarterSum(_mm256_unpacklo_epi8(up, zero), _mm256_unpacklo_epi8(left, zero),
                                  _mm256_unpacklo_epi8(right, zero), _mm256_unpacklo_epi8(down, zero));
    const __m256i hi = QuarterSum(_mm256_unpackhi_epi8(up, zero), _mm256_unpackhi_epi8(left, zero),
                                  _mm256_unpackhi_epi8(right, zero), _mm256_unpackhi_epi8(down, zero));
    return _mm256_packus_epi16(lo, hi);
}

__attribute__((target("avx2"))) inline __m256i AverageOfFour8(__m256i up, __m256i left, __m256i right, __m256i down)
{
    return _mm256_avg_epu8(_mm256_avg_epu8(up, left), _mm256_avg_epu8(right, down));
}

template <bool Average>
__attribute__((target("avx2"))) void SmoothRangeAVX2(const TPixel* s, TPixel* d, size_t w, size_t n, size_t begin,
                                                     size_t end)
{
    size_t p = begin;
    for (; p + kSmoothStride <= end; p += kSmoothStride) {
        PrefetchLowerRow(s, w, n, p);
        for (size_t q = p; q < p + kSmoothStride; q += 8) {
            const __m256i up = Load8(s + q - w), left = Load8(s + q - 1), right = Load8(s + q + 1),
                          down = Load8(s + q + w);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + q),
                                Average ? AverageOfFour8(up, left, right, down) : MeanOfFour8(up, left, right, down));
        }
    }
    SmoothRange<Average ? AverageOfFour : MeanOfFour, nullptr>(s, d, w, n, p, end);
}

#endif

TSmoothRange ChosenSmoothing()
{
#if defined(LUMENFALL_PACKED_AVX2)
    if (HasAVX2 && (Has3DNow || HasMMX))
        return Has3DNow ? SmoothRangeAVX2<true> : SmoothRangeAVX2<false>;
#endif
    if (Has3DNow)
        return SmoothRange<AverageOfFour, AverageOfFourPacked>;
    if (HasMMX)
        return SmoothRange<MeanOfFour, MeanOfFourPacked>;
    return SmoothRange<MeanOfFour, nullptr>;
}

// The faded smoothing goes through the destination in blocks small enough to stay in the
// first-level cache from smoothing to fading. A multiple of the packed stride, so that every
// block starts on a cache line, as the packed fade needs.
constexpr size_t kFadeBlock = 4096;

// ---- translation ---------------------------------------------------------------------

// The scattered loads of a wave map miss the cache; asking for their lines this many pixels
// early keeps enough of them in flight.
constexpr size_t kPrefetchAhead = 256;

// How many destination pixels share one software prefetch of their source (0: none). Long
// runs of neighbouring entries (identity, zoom) are followed by the processor's own
// prefetcher. A map that leaves its run every few dozen pixels (an overlay zoom, whose source
// row drifts along each destination row) would wait for memory at every jump: a prefetch
// for every fourth pixel lands in each run. A map that leaves it every few pixels (a wave
// shift) needs one for every pixel.
size_t PrefetchSpacing(std::span<const int32_t> map)
{
    constexpr int64_t kPixelsPerLine = 16;
    size_t jumps = 0;
    for (size_t k = 1; k < map.size(); ++k)
        jumps += std::abs(int64_t(map[k]) - map[k - 1]) > kPixelsPerLine;
    if (jumps * 16 > map.size())
        return 1;
    return jumps * 512 > map.size() ? 4 : 0;
}

// dst[k] := src[map[k]], prefetching the source of every Spacing-th pixel. The destination
// goes out with streaming stores, which spare reading every destination line in before it is
// overwritten.
template <size_t Spacing>
void CopyThroughMap(const TPixel* src, TPixel* dst, const int32_t* map, size_t n)
{
    size_t k = 0;
#if defined(LUMENFALL_PACKED_SSE2)
    if (reinterpret_cast<uintptr_t>(dst) % sizeof(__m128i) == 0) {
        for (; k + kPrefetchAhead + 4 <= n; k += 4) {
            if constexpr (Spacing != 0) {
                for (size_t q = 0; q < 4; q += Spacing)
                    __builtin_prefetch(src + map[k + kPrefetchAhead + q]);
            }
            const int32_t* m = map + k;
            const __m128i four = _mm_setr_epi32(int32_t(src[m[0]]), int32_t(src[m[1]]), int32_t(src[m[2]]),
                                                int32_t(src[m[3]]));
            _mm_stream_si128(reinterpret_cast<__m128i*>(dst + k), four);
        }
        _mm_sfence();
    }
#endif
    for (; k < n; ++k) {
        if constexpr (Spacing != 0) {
            if (k % Spacing == 0 && k + kPrefetchAhead < n)
                __builtin_prefetch(src + map[k + kPrefetchAhead]);
        }
        dst[k] = src[map[k]];
    }
}

// Wraps at 16 bits like the height fields' integer type.
inline int16_t AddWrapped(int16_t h, int32_t delta) { return int16_t(uint16_t(uint32_t(h) + uint32_t(delta))); }

} // namespace

int32_t Reflect(int32_t v, int32_t lo, int32_t hi)
{
    const int64_t span = int64_t(hi) - lo;
    if (span <= 0)
        return lo;
    if (v < lo)
        return int32_t(lo + (int64_t(lo) - v) % span);
    if (v > hi)
        return int32_t(hi - (int64_t(v) - hi) % span);
    return v;
}

// ---- TMonadicFilter ------------------------------------------------------------------

TMonadicFilter::TMonadicFilter(const char* className, int32_t width, int32_t height)
{
    MakeEven(width, height);
    if (width < 0 || height < 0 || width > kMaxSide || height > kMaxSide || int64_t(width) * height > kMaxPixels)
        throw EGfxFilterException(std::string(className) + ".Create : Cannot create a filter of " +
                                  SizeText(width, height) + " pixels");
    width_ = builtWidth_ = width;
    height_ = builtHeight_ = height;
}

void TMonadicFilter::SetSource(TDIBRaster& raster)
{
    source_ = &raster;
    width_ = raster.Width();
    height_ = raster.Height();
}

void TMonadicFilter::SetDest(TDIBRaster& raster) { dest_ = &raster; }

void TMonadicFilter::Execute(TDIBRaster& source, TDIBRaster& dest)
{
    SetSource(source);
    SetDest(dest);
    Apply();
}

void TMonadicFilter::CheckRasters(const char* operation) const
{
    if (!source_ || !dest_)
        throw EGfxFilterException(std::string(operation) + " : No source or destination raster set");
    if (source_ == dest_)
        throw EGfxFilterException(std::string(operation) + " : Source and destination are the same raster");
    if (dest_->Width() != source_->Width() || dest_->Height() != source_->Height())
        throw EGfxFilterException(std::string(operation) + " : The destination raster of " + SizeText(*dest_) +
                                  " pixels differs in size from the source of " + SizeText(*source_) + " pixels");
}

void TMonadicFilter::CheckRastersFit(const char* operation) const
{
    CheckRasters(operation);
    if (source_->Width() != builtWidth_ || source_->Height() != builtHeight_)
        throw EGfxFilterException(std::string(operation) + " : The source raster of " + SizeText(*source_) +
                                  " pixels differs in size from the filter of " + SizeText(builtWidth_, builtHeight_) +
                                  " pixels");
}

// ---- TTranslationMap -----------------------------------------------------------------

TTranslationMap::TTranslationMap(int32_t width, int32_t height) : TMonadicFilter("TTranslationMap", width, height)
{
    map_.resize(size_t(builtWidth_) * size_t(builtHeight_));
    for (size_t k = 0; k < map_.size(); ++k)
        map_[k] = int32_t(k);
}

void TTranslationMap::SetEntry(int32_t x, int32_t y, int32_t sourceX, int32_t sourceY)
{
    if (x < 0 || y < 0 || x >= builtWidth_ || y >= builtHeight_)
        throw EGfxFilterException("TTranslationMap.SetEntry : Position (" + std::to_string(x) + ", " +
                                  std::to_string(y) + ") is outside the map of " +
                                  SizeText(builtWidth_, builtHeight_) + " pixels");
    prefetchKnown_ = false;
    sourceX = Reflect(sourceX, 0, builtWidth_ - 1);
    sourceY = Reflect(sourceY, 0, builtHeight_ - 1);
    map_[size_t(x) + size_t(y) * size_t(builtWidth_)] = sourceX + sourceY * builtWidth_;
}

void TTranslationMap::BuildShiftMap(const TSinMagicParams& params)
{
    const std::vector<float> dx = ShiftTable(params[smrAmplitudesX], params[smrFrequenciesX], builtWidth_);
    const std::vector<float> dy = ShiftTable(params[smrAmplitudesY], params[smrFrequenciesY], builtHeight_);
    for (int32_t j = 0; j < builtHeight_; ++j)
        for (int32_t i = 0; i < builtWidth_; ++i)
            SetEntry(i, j, TruncToInt(float(i) + dy[size_t(j)]), TruncToInt(float(j) + dx[size_t(i)]));
}

void TTranslationMap::BuildZoomMap(const TSinMagicParams& params, int32_t centerX, int32_t centerY, bool overlay)
{
    const std::vector<float> zx = ZoomTable(params[smrAmplitudesX], params[smrFrequenciesX], builtWidth_);
    const std::vector<float> zy = ZoomTable(params[smrAmplitudesY], params[smrFrequenciesY], builtHeight_);
    for (int32_t j = 0; j < builtHeight_; ++j) {
        for (int32_t i = 0; i < builtWidth_; ++i) {
            const float tx = overlay ? 1.0f - (zx[size_t(i)] + zy[size_t(j)]) / 2.0f : 1.0f - zx[size_t(i)];
            const float ty = overlay ? tx : 1.0f - zy[size_t(j)];
            SetEntry(i, j, Lerp(centerX, i, tx), Lerp(centerY, j, ty));
        }
    }
}

void TTranslationMap::BuildCombinedMap(const TSinMagicParams& shiftParams, const TSinMagicParams& zoomParams,
                                       int32_t centerX, int32_t centerY)
{
    const std::vector<float> dx = ShiftTable(shiftParams[smrAmplitudesX], shiftParams[smrFrequenciesX], builtWidth_);
    const std::vector<float> dy = ShiftTable(shiftParams[smrAmplitudesY], shiftParams[smrFrequenciesY], builtHeight_);
    const std::vector<float> zx = ZoomTable(zoomParams[smrAmplitudesX], zoomParams[smrFrequenciesX], builtWidth_);
    const std::vector<float> zy = ZoomTable(zoomParams[smrAmplitudesY], zoomParams[smrFrequenciesY], builtHeight_);
    for (int32_t j = 0; j < builtHeight_; ++j) {
        for (int32_t i = 0; i < builtWidth_; ++i) {
            const float t = 1.0f - (zx[size_t(i)] + zy[size_t(j)]) / 2.0f;
            SetEntry(i, j, Lerp(centerX, TruncToInt(float(i) + dy[size_t(j)]), t),
                     Lerp(centerY, TruncToInt(float(j) + dx[size_t(i)]), t));
        }
    }
}

void TTranslationMap::Apply()
{
    CheckRastersFit("TTranslationMap.Apply");
    if (!prefetchKnown_) {
        prefetchSpacing_ = PrefetchSpacing(map_);
        prefetchKnown_ = true;
    }
    const TPixel* src = source_->Bits();
    TPixel* dst = dest_->Bits();
    if (prefetchSpacing_ == 1)
        CopyThroughMap<1>(src, dst, map_.data(), map_.size());
    else if (prefetchSpacing_ == 4)
        CopyThroughMap<4>(src, dst, map_.data(), map_.size());
    else
        CopyThroughMap<0>(src, dst, map_.data(), map_.size());
}

// ---- TFastSmooth ---------------------------------------------------------------------

void TFastSmooth::Apply() { Smooth(std::nullopt); }

void TFastSmooth::ApplyFaded(uint8_t level) { Smooth(level); }

void TFastSmooth::ExecuteFaded(TDIBRaster& source, TDIBRaster& dest, uint8_t level)
{
    SetSource(source);
    SetDest(dest);
    ApplyFaded(level);
}

void TFastSmooth::Smooth(std::optional<uint8_t> fadeLevel)
{
    CheckRasters(fadeLevel ? "TFastSmooth.ApplyFaded" : "TFastSmooth.Apply");
    const size_t w = size_t(width_), h = size_t(height_);
    if (w == 0 || h == 0)
        return;
    const TPixel* s = source_->Bits();
    TPixel* d = dest_->Bits();
    std::memset(d, 0, w * sizeof(TPixel));
    std::memset(d + (h - 1) * w, 0, w * sizeof(TPixel));
    if (h < 3)
        return; // all black, which no fade changes
    const size_t n = w * h, begin = w, end = n - w;
    const TSmoothRange smooth = ChosenSmoothing();
    if (!fadeLevel) {
        smooth(s, d, w, n, begin, end);
        return;
    }
    // The black border rows are faded with their blocks, which keeps them black.
    for (size_t block = 0; block < n; block += kFadeBlock) {
        const size_t blockEnd = std::min(block + kFadeBlock, n);
        smooth(s, d, w, n, std::clamp(block, begin, end), std::clamp(blockEnd, begin, end));
        FadePixels(d + block, int64_t(blockEnd - block), *fadeLevel);
    }
}

// ---- TRefractionMap ------------------------------------------------------------------

TRefractionMap::TRefractionMap(int32_t width, int32_t height)
    : TMonadicFilter("TRefractionMap", width, height), heights_(size_t(builtWidth_) * size_t(builtHeight_), 0)
{
}

void TRefractionMap::SetRefractionIndex(float n)
{
    refractionIndex_ = n;
    for (int32_t d = kTableMin; d < kTableMin + kTableSize; ++d) {
        // The ray through a surface of slope s, bent by Snell's law, lands s·tan(rho) away.
        const float s = float(d / 4);
        const float theta = std::atan(s);
        const float rho = std::asin(std::sin(theta) / n);
        // Only the low byte is kept, so the steepest slopes wrap around.
        table_[size_t(d - kTableMin)] = TruncToInt(s * std::tan(rho)) & 255;
    }
}

void TRefractionMap::AddSineWave(float amplitude, float phase, float frequency)
{
    const int32_t w = builtWidth_, h = builtHeight_;
    if (w < 3 || h < 3)
        return;
    std::vector<int32_t> columnDelta(size_t(w), 0);
    for (int32_t i = 1; i < w - 1; ++i) {
        const float degrees = float(int64_t(i) * 360) * frequency + phase;
        const float angle = float(double(degrees) / (double(w) * kDegreesPerRadian));
        columnDelta[size_t(i)] = TruncToInt(std::sin(angle) * amplitude);
    }
    for (int32_t j = 1; j < h - 1; ++j) {
        int16_t* row = heights_.data() + size_t(j) * size_t(w);
        for (int32_t i = 1; i < w - 1; ++i)
            row[i] = AddWrapped(row[i], columnDelta[size_t(i)]);
    }
}

void TRefractionMap::FillHeights(int32_t x, int32_t y, int32_t width, int32_t height, int16_t value)
{
    const int64_t left = std::max<int64_t>(x, 0), right = std::min<int64_t>(int64_t(x) + width, builtWidth_);
    const int64_t top = std::max<int64_t>(y, 0), bottom = std::min<int64_t>(int64_t(y) + height, builtHeight_);
    for (int64_t row = top; row < bottom; ++row) {
        int16_t* line = heights_.data() + row * builtWidth_;
        std::fill(line + left, line + right, value);
    }
}

void TRefractionMap::Apply()
{
    CheckRastersFit("TRefractionMap.Apply");
    const ptrdiff_t w = width_, n = ptrdiff_t(width_) * height_;
    const int16_t* heights = heights_.data();
    const TPixel* src = source_->Bits();
    TPixel* dst = dest_->Bits();
    const int32_t* table = table_.data() - kTableMin; // indexed by -2047 .. 2047 below
    auto offset = [table](int32_t difference) {
        const int32_t d = difference % 2048; // keeps the sign of the difference
        return d < 0 ? -ptrdiff_t(table[d]) : ptrdiff_t(table[d]);
    };
    for (ptrdiff_t i = 0; i < n - w - 1; ++i) {
        const int32_t h = heights[i];
        const ptrdiff_t t = i + offset(heights[i + 1] - h) + offset(heights[i + w] - h) * w;
        if (t >= 0 && t < n)
            dst[i] = src[t];
    }
}

// ---- TWaterize -----------------------------------------------------------------------

TWaterize::TWaterize(int32_t width, int32_t height)
    : TMonadicFilter("TWaterize", width, height), previous_(std::make_unique<TRefractionMap>(builtWidth_, builtHeight_)),
      current_(std::make_unique<TRefractionMap>(builtWidth_, builtHeight_))
{
    previous_->SetRefractionIndex(2.0f);
    current_->SetRefractionIndex(2.0f);
}

void TWaterize::Apply()
{
    CheckRastersFit("TWaterize.Apply");
    previous_->Execute(*source_, *dest_);
    std::swap(previous_, current_);
    // Wave equation on two buffers: the new height is the neighbours' mean times two minus
    // the height of the step before, then damped by a sixteenth.
    const ptrdiff_t w = width_, n = ptrdiff_t(width_) * height_;
    const int16_t* last = previous_->Heights().data();
    int16_t* next = current_->Heights().data();
    for (ptrdiff_t i = w; i < n - w; ++i) {
        const int32_t v = (int32_t(last[i - w]) + last[i - 1] + last[i + 1] + last[i + w]) / 2 - next[i];
        next[i] = int16_t(v - (v >> 4)); // wraps at 16 bits; >> 4 is floor(v / 16)
    }
}
