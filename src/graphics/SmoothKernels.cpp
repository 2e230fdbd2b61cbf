#include "graphics/SmoothKernels.h"

#include "graphics/PackedSimd.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace {

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

// Per byte c - ceil(c / 2^level) as the packed fade computes it: t - (t >> level) with
// t = max(c - 1, 0).
__attribute__((target("avx2"))) inline __m256i Faded8(__m256i pixels, __m128i shift, __m256i quotientMask)
{
    const __m256i t = _mm256_subs_epu8(pixels, _mm256_set1_epi8(1));
    return _mm256_sub_epi8(t, _mm256_and_si256(_mm256_srl_epi16(t, shift), quotientMask));
}

inline TPixel FadedBytes(TPixel p, uint8_t level)
{
    TPixel out = 0;
    for (int32_t byte = 0; byte < 32; byte += 8) {
        const uint32_t t = std::max<uint32_t>((p >> byte) & 0xFFu, 1u) - 1u;
        out |= (t - (t >> level)) << byte;
    }
    return out;
}

// Smooths and fades in one pass; with Stream the destination goes out with streaming stores.
template <bool Average, bool Stream>
__attribute__((target("avx2"))) void SmoothFadeAVX2(const TPixel* s, TPixel* d, size_t w, size_t n, size_t begin,
                                                    size_t end, uint8_t level)
{
    level = std::min<uint8_t>(level, 8);
    const TScalarSmooth scalar = Average ? AverageOfFour : MeanOfFour;
    size_t p = begin;
    for (; Stream && p < end && reinterpret_cast<uintptr_t>(d + p) % sizeof(__m256i) != 0; ++p)
        d[p] = FadedBytes(scalar(s[p - w], s[p - 1], s[p + 1], s[p + w]), level);
    const __m128i shift = _mm_cvtsi32_si128(level);
    const __m256i quotientMask = _mm256_set1_epi8(char(0xFFu >> level));
    for (; p + kSmoothStride <= end; p += kSmoothStride) {
        PrefetchLowerRow(s, w, n, p);
        for (size_t q = p; q < p + kSmoothStride; q += 8) {
            const __m256i up = Load8(s + q - w), left = Load8(s + q - 1), right = Load8(s + q + 1),
                          down = Load8(s + q + w);
            const __m256i smooth = Average ? AverageOfFour8(up, left, right, down) : MeanOfFour8(up, left, right, down);
            auto* out = reinterpret_cast<__m256i*>(d + q);
            if constexpr (Stream)
                _mm256_stream_si256(out, Faded8(smooth, shift, quotientMask));
            else
                _mm256_storeu_si256(out, Faded8(smooth, shift, quotientMask));
        }
    }
    for (; p < end; ++p)
        d[p] = FadedBytes(scalar(s[p - w], s[p - 1], s[p + 1], s[p + w]), level);
}

#endif

} // namespace

TSmoothFadeRange ChosenSmoothFade(bool stream)
{
#if defined(LUMENFALL_PACKED_AVX2)
    // The packed fade is the one FadePixels takes with MMX.
    if (HasAVX2 && HasMMX && stream)
        return Has3DNow ? SmoothFadeAVX2<true, true> : SmoothFadeAVX2<false, true>;
    if (HasAVX2 && HasMMX)
        return Has3DNow ? SmoothFadeAVX2<true, false> : SmoothFadeAVX2<false, false>;
#else
    (void)stream;
#endif
    return nullptr;
}

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
