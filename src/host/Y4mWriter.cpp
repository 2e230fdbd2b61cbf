#include "host/Y4mWriter.h"

#include "graphics/GfxTool.h"

#include <QImage>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace {

inline int32_t Luma(uint32_t p)
{
    const int32_t r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
    return (77 * r + 150 * g + 29 * b + 128) >> 8;
}

inline uint8_t ChromaU(int32_t r, int32_t g, int32_t b)
{
    return uint8_t(std::clamp((-43 * r - 85 * g + 128 * b + 128) / 256 + 128, 0, 255));
}

inline uint8_t ChromaV(int32_t r, int32_t g, int32_t b)
{
    return uint8_t(std::clamp((128 * r - 107 * g - 21 * b + 128) / 256 + 128, 0, 255));
}

// The block of chroma sample (x, y): the means of its up to four pixels.
void ChromaBlock(const QImage& picture, int32_t x, int32_t y, uint8_t& u, uint8_t& v)
{
    int32_t r = 0, g = 0, b = 0, n = 0;
    for (int32_t dy = 0; dy < 2 && 2 * y + dy < picture.height(); ++dy) {
        const auto* row = reinterpret_cast<const uint32_t*>(picture.constScanLine(2 * y + dy));
        for (int32_t dx = 0; dx < 2 && 2 * x + dx < picture.width(); ++dx, ++n) {
            const uint32_t p = row[2 * x + dx];
            r += (p >> 16) & 0xFF;
            g += (p >> 8) & 0xFF;
            b += p & 0xFF;
        }
    }
    r /= n, g /= n, b /= n;
    u = ChromaU(r, g, b);
    v = ChromaV(r, g, b);
}

#if defined(__SSE2__)

inline __m128i Load4(const uint32_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

// One channel (shift 0, 8 or 16) of eight pixels as 16-bit lanes.
inline __m128i Channel8(__m128i first, __m128i second, int shift)
{
    const __m128i mask = _mm_set1_epi32(0xFF);
    const __m128i count = _mm_cvtsi32_si128(shift);
    return _mm_packs_epi32(_mm_and_si128(_mm_srl_epi32(first, count), mask),
                           _mm_and_si128(_mm_srl_epi32(second, count), mask));
}

// Eight luma bytes; the sums stay below 2^16, so 16-bit lanes hold them.
inline void Luma8(const uint32_t* row, uint8_t* out)
{
    const __m128i p0 = Load4(row), p1 = Load4(row + 4);
    const __m128i r = Channel8(p0, p1, 16), g = Channel8(p0, p1, 8), b = Channel8(p0, p1, 0);
    __m128i y = _mm_add_epi16(_mm_mullo_epi16(r, _mm_set1_epi16(77)), _mm_mullo_epi16(g, _mm_set1_epi16(150)));
    y = _mm_add_epi16(y, _mm_add_epi16(_mm_mullo_epi16(b, _mm_set1_epi16(29)), _mm_set1_epi16(128)));
    y = _mm_srli_epi16(y, 8);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(y, y));
}

// The means of one channel of four blocks of two by two pixels, as 32-bit lanes.
inline __m128i BlockMeans4(const uint32_t* upper, const uint32_t* lower, int shift)
{
    const __m128i sum = _mm_add_epi16(Channel8(Load4(upper), Load4(upper + 4), shift),
                                      Channel8(Load4(lower), Load4(lower + 4), shift));
    return _mm_srli_epi32(_mm_madd_epi16(sum, _mm_set1_epi16(1)), 2);
}

// (a·x + b·y + c·z + 128) / 256 + 128 rounded toward zero and clamped to a byte, for x, y, z
// below 256 in 32-bit lanes; the 16-bit pairs (x, y) and (z, 1) go through multiply-add.
inline __m128i ChromaOf(__m128i x, __m128i y, __m128i z, int16_t a, int16_t b, int16_t c)
{
    const __m128i xy = _mm_or_si128(x, _mm_slli_epi32(y, 16));
    const __m128i z1 = _mm_or_si128(z, _mm_set1_epi32(1 << 16));
    const __m128i ab = _mm_set1_epi32(int32_t(uint32_t(uint16_t(a)) | (uint32_t(uint16_t(b)) << 16)));
    const __m128i c128 = _mm_set1_epi32(int32_t(uint32_t(uint16_t(c)) | (128u << 16)));
    const __m128i sum = _mm_add_epi32(_mm_madd_epi16(xy, ab), _mm_madd_epi16(z1, c128));
    const __m128i towardZero = _mm_add_epi32(sum, _mm_and_si128(_mm_srai_epi32(sum, 31), _mm_set1_epi32(255)));
    const __m128i value = _mm_add_epi32(_mm_srai_epi32(towardZero, 8), _mm_set1_epi32(128));
    const __m128i words = _mm_packs_epi32(value, value);
    return _mm_packus_epi16(words, words);
}

inline void Store4(uint8_t* out, __m128i bytes)
{
    const int32_t four = _mm_cvtsi128_si32(bytes);
    std::copy_n(reinterpret_cast<const uint8_t*>(&four), 4, out);
}

// The same formulas sixteen pixels at a time with AVX2, through multiply-adds of the 16-bit
// channels B, G, R, A against their weights. The in-lane packs leave 32-bit groups out of
// order; one permutation puts them back.
#define LUMENFALL_AVX2 __attribute__((target("avx2")))

// Weights of B, G, R and A as four 16-bit lanes, repeated.
LUMENFALL_AVX2 inline __m256i ChannelWeights(int16_t b, int16_t g, int16_t r)
{
    return _mm256_set1_epi64x(int64_t(uint64_t(uint16_t(b)) | uint64_t(uint16_t(g)) << 16 | uint64_t(uint16_t(r)) << 32));
}

// Weighted sums of eight pixels in order: multiply-add gives B·wb + G·wg and R·wr per pixel,
// and the horizontal add joins each pair.
LUMENFALL_AVX2 inline __m256i WeightedSums8(__m256i pixels, __m256i weights)
{
    const __m256i zero = _mm256_setzero_si256();
    return _mm256_hadd_epi32(_mm256_madd_epi16(_mm256_unpacklo_epi8(pixels, zero), weights),
                             _mm256_madd_epi16(_mm256_unpackhi_epi8(pixels, zero), weights));
}

LUMENFALL_AVX2 void Luma16(const uint32_t* row, uint8_t* out)
{
    const __m256i weights = ChannelWeights(29, 150, 77);
    const __m256i rounding = _mm256_set1_epi32(128);
    const __m256i first = _mm256_srli_epi32(
        _mm256_add_epi32(WeightedSums8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(row)), weights), rounding), 8);
    const __m256i second = _mm256_srli_epi32(
        _mm256_add_epi32(WeightedSums8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + 8)), weights), rounding),
        8);
    // Groups of four: 0-3, 8-11, 4-7, 12-15 in the low half of each lane.
    const __m256i words = _mm256_packs_epi32(first, second);
    const __m256i bytes = _mm256_permutevar8x32_epi32(_mm256_packus_epi16(words, words), _mm256_setr_epi32(0, 4, 1, 5, 0, 0, 0, 0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(bytes));
}

// Channel means of the two-by-two blocks of eight pixels of two rows, as 16-bit B, G, R, A:
// blocks 0 and 1 in the low lane, 2 and 3 in the high one.
LUMENFALL_AVX2 inline __m256i BlockMeans(const uint32_t* upper, const uint32_t* lower)
{
    const __m256i zero = _mm256_setzero_si256();
    const __m256i up = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(upper));
    const __m256i down = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lower));
    // Pixels 0, 1 | 4, 5 and 2, 3 | 6, 7, each pair summed down the column and then across.
    const __m256i low = _mm256_add_epi16(_mm256_unpacklo_epi8(up, zero), _mm256_unpacklo_epi8(down, zero));
    const __m256i high = _mm256_add_epi16(_mm256_unpackhi_epi8(up, zero), _mm256_unpackhi_epi8(down, zero));
    const __m256i lowBlocks = _mm256_add_epi16(low, _mm256_srli_si256(low, 8));
    const __m256i highBlocks = _mm256_add_epi16(high, _mm256_srli_si256(high, 8));
    return _mm256_srli_epi16(_mm256_unpacklo_epi64(lowBlocks, highBlocks), 2);
}

// (sum + 128) / 256 + 128 rounded toward zero, in 32-bit lanes.
LUMENFALL_AVX2 inline __m256i ChromaFromSums(__m256i sum)
{
    const __m256i rounded = _mm256_add_epi32(sum, _mm256_set1_epi32(128));
    const __m256i towardZero = _mm256_add_epi32(rounded, _mm256_and_si256(_mm256_srai_epi32(rounded, 31), _mm256_set1_epi32(255)));
    return _mm256_add_epi32(_mm256_srai_epi32(towardZero, 8), _mm256_set1_epi32(128));
}

// One chroma component of the eight blocks of two BlockMeans.
LUMENFALL_AVX2 inline __m256i ChromaSamples(__m256i first, __m256i second, __m256i weights)
{
    return ChromaFromSums(_mm256_hadd_epi32(_mm256_madd_epi16(first, weights), _mm256_madd_epi16(second, weights)));
}

// Eight U and eight V samples from sixteen pixels of two rows.
LUMENFALL_AVX2 void Chroma8(const uint32_t* upper, const uint32_t* lower, uint8_t* u, uint8_t* v)
{
    // Blocks 0, 1, 4, 5 in the low lane and 2, 3, 6, 7 in the high one after the adds.
    const __m256i first = BlockMeans(upper, lower), second = BlockMeans(upper + 8, lower + 8);
    const __m256i words = _mm256_packs_epi32(ChromaSamples(first, second, ChannelWeights(128, -85, -43)),
                                             ChromaSamples(first, second, ChannelWeights(-21, -107, 128)));
    // Bytes U0 U1 U4 U5 U2 U3 U6 U7 V0 V1 V4 V5 V2 V3 V6 V7, then in order.
    const __m256i grouped = _mm256_permutevar8x32_epi32(_mm256_packus_epi16(words, words), _mm256_setr_epi32(0, 4, 1, 5, 0, 0, 0, 0));
    const __m128i ordered = _mm_shuffle_epi8(_mm256_castsi256_si128(grouped),
                                             _mm_setr_epi8(0, 1, 4, 5, 2, 3, 6, 7, 8, 9, 12, 13, 10, 11, 14, 15));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(u), ordered);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(v), _mm_srli_si128(ordered, 8));
}

#endif

} // namespace

namespace {

void LumaRow(const QImage& picture, int32_t y, uint8_t* out)
{
    const auto* row = reinterpret_cast<const uint32_t*>(picture.constScanLine(y));
    int32_t x = 0;
#if defined(__SSE2__)
    for (; HasAVX2 && x + 16 <= picture.width(); x += 16)
        Luma16(row + x, out + x);
    for (; x + 8 <= picture.width(); x += 8)
        Luma8(row + x, out + x);
#endif
    for (; x < picture.width(); ++x)
        out[x] = uint8_t(Luma(row[x]));
}

// Chroma row y, from picture rows 2y and 2y + 1.
void ChromaRow(const QImage& picture, int32_t y, uint8_t* uRow, uint8_t* vRow)
{
    const int32_t w = picture.width(), cw = (w + 1) / 2;
    int32_t x = 0;
#if defined(__SSE2__)
    if (2 * y + 1 < picture.height()) {
        const auto* upper = reinterpret_cast<const uint32_t*>(picture.constScanLine(2 * y));
        const auto* lower = reinterpret_cast<const uint32_t*>(picture.constScanLine(2 * y + 1));
        for (; HasAVX2 && 2 * (x + 8) <= w; x += 8)
            Chroma8(upper + 2 * x, lower + 2 * x, uRow + x, vRow + x);
        for (; 2 * (x + 4) <= w; x += 4) {
            const __m128i r = BlockMeans4(upper + 2 * x, lower + 2 * x, 16);
            const __m128i g = BlockMeans4(upper + 2 * x, lower + 2 * x, 8);
            const __m128i b = BlockMeans4(upper + 2 * x, lower + 2 * x, 0);
            Store4(uRow + x, ChromaOf(r, g, b, -43, -85, 128));
            Store4(vRow + x, ChromaOf(r, g, b, 128, -107, -21));
        }
    }
#endif
    for (; x < cw; ++x)
        ChromaBlock(picture, x, y, uRow[x], vRow[x]);
}

} // namespace

void ConvertToYuv420(const QImage& picture, uint8_t* luma, uint8_t* u, uint8_t* v)
{
    const int32_t w = picture.width(), h = picture.height();
    const int32_t cw = (w + 1) / 2, ch = (h + 1) / 2;
    // A pair of rows at a time: the chroma reads them again while they are still cached.
    for (int32_t y = 0; y < ch; ++y) {
        for (int32_t row = 2 * y; row < std::min(h, 2 * y + 2); ++row)
            LumaRow(picture, row, luma + size_t(row) * size_t(w));
        ChromaRow(picture, y, u + size_t(y) * size_t(cw), v + size_t(y) * size_t(cw));
    }
}

std::string TY4mWriter::Header(int32_t width, int32_t height, int32_t intervalMs)
{
    return "YUV4MPEG2 W" + std::to_string(width) + " H" + std::to_string(height) + " F1000:" +
           std::to_string(intervalMs) + " Ip A1:1 C420jpeg XCOLORRANGE=FULL\n";
}

namespace {

constexpr char kFrameMarker[] = "FRAME\n";
constexpr int64_t kFrameMarkerSize = sizeof kFrameMarker - 1;

int64_t PlaneBytes(int32_t width, int32_t height)
{
    return int64_t(width) * height + 2 * int64_t((width + 1) / 2) * ((height + 1) / 2);
}

} // namespace

TY4mWriter::TY4mWriter(const std::string& fileName, int32_t width, int32_t height, int32_t intervalMs)
    : out_(fileName, std::ios::binary)
{
    if (!out_)
        throw std::runtime_error("cannot write '" + fileName + "'");
    out_ << Header(width, height, intervalMs);
}

int64_t TY4mWriter::FileSize(int32_t width, int32_t height, int32_t intervalMs, int32_t frames)
{
    return int64_t(Header(width, height, intervalMs).size()) + (kFrameMarkerSize + PlaneBytes(width, height)) * frames;
}

QByteArray TY4mWriter::EncodeFrame(const QImage& frame)
{
    const int32_t w = frame.width(), h = frame.height();
    const qsizetype chromaPlane = qsizetype((w + 1) / 2) * ((h + 1) / 2);
    QByteArray bytes(qsizetype(kFrameMarkerSize + PlaneBytes(w, h)), Qt::Uninitialized);
    auto* out = reinterpret_cast<uint8_t*>(bytes.data());
    std::copy_n(kFrameMarker, kFrameMarkerSize, out);
    uint8_t* luma = out + kFrameMarkerSize;
    uint8_t* u = luma + qsizetype(w) * h;
    ConvertToYuv420(frame, luma, u, u + chromaPlane);
    return bytes;
}

void TY4mWriter::Append(const QByteArray& frame)
{
    out_.write(frame.constData(), std::streamsize(frame.size()));
    if (!out_)
        throw std::runtime_error("writing the video failed: " + std::string(std::strerror(errno)));
}

void TY4mWriter::Finish()
{
    out_.flush();
    if (!out_)
        throw std::runtime_error("writing the video failed: " + std::string(std::strerror(errno)));
    out_.close();
    if (!out_)
        throw std::runtime_error("closing the video failed: " + std::string(std::strerror(errno)));
}
