#include "graphics/GfxFilters.h"

#include "graphics/PackedSimd.h"
#include "graphics/SmoothKernels.h"
#include "util/NumericConversion.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <utility>

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

// The faded smoothing goes through the destination in blocks small enough to stay in the
// first-level cache from smoothing to fading. A multiple of the packed stride, so that every
// block starts on a cache line, as the packed fade needs.
constexpr size_t kFadeBlock = 4096;
// Above this the faded smoothing streams its destination past the caches: such a raster
// would not stay cached until the particles are drawn into it anyway.
constexpr size_t kCachedBytes = size_t(16) << 20;

// ---- translation ---------------------------------------------------------------------

// A map goes through its picture in bands of rows small enough to stay in the first- and
// second-level caches until they are smoothed; the window keeps the last rows mapped for
// those that wait for their smoothing while rows still to map read their source row.
constexpr size_t kBandBytes = 16 * 1024;
constexpr size_t kWindowBytes = 4096 * 1024;

// dst := src, count pixels, with streaming stores where dst allows: the rows of a mapped
// picture are not read again soon, and streaming spares reading every line in before it is
// overwritten.
void StreamPixels(TPixel* dst, const TPixel* src, size_t count)
{
    size_t k = 0;
#if defined(LUMENFALL_PACKED_SSE2)
    for (; k < count && reinterpret_cast<uintptr_t>(dst + k) % sizeof(__m128i) != 0; ++k)
        dst[k] = src[k];
    for (; k + 4 <= count; k += 4)
        _mm_stream_si128(reinterpret_cast<__m128i*>(dst + k),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + k)));
#endif
    std::memcpy(dst + k, src + k, (count - k) * sizeof(TPixel));
}

void EndStreaming()
{
#if defined(LUMENFALL_PACKED_SSE2)
    _mm_sfence();
#endif
}

// The mirrored source index of (sourceX, sourceY) in a map of w x h.
int32_t ReflectedIndex(int32_t sourceX, int32_t sourceY, int32_t w, int32_t h)
{
    return Reflect(sourceX, 0, w - 1) + Reflect(sourceY, 0, h - 1) * w;
}

// Whole pixels of a shift table as integers, and whether float(v) + table[v] is exact for
// every position v of a side of n (it then equals v + the integer).
bool WholeShifts(const std::vector<float>& table, int32_t n, std::vector<int32_t>& whole)
{
    constexpr float kExact = 8388608.0f; // 2^23: sums with any position stay exact
    whole.resize(table.size());
    for (size_t k = 0; k < table.size(); ++k) {
        if (!(std::fabs(table[k]) < kExact - float(n)))
            return false;
        whole[k] = int32_t(table[k]);
    }
    return true;
}

// Wraps at 16 bits like the height fields' integer type.
inline int16_t AddWrapped(int16_t h, int32_t delta) { return int16_t(uint16_t(uint32_t(h) + uint32_t(delta))); }

// One mapped frame on its way: the map's source, which receives the smoothed picture, and
// its destination, which keeps the mapped one. The ring holds the last slots rows mapped,
// row r in slot r % slots; the two slots after the last repeat the first two, so that any
// three rows that follow each other also lie together.
struct TBand {
    TPixel* source;
    TPixel* dest;
    size_t w;
    int32_t height;
    TSmoothRange smooth;
    // Smooths and fades in one go where the processor path has it; else smooth, then fade.
    TSmoothFadeRange smoothFade;
    uint8_t fadeLevel;
    TPixel* ring;
    int32_t slots;
    // Rows 0 .. mapped - 1 are in dest; the source is faded up to pixel faded.
    int32_t mapped = 0;
    size_t faded = 0;

    TPixel* Slot(int32_t slot) const { return ring + size_t(slot) * w; }
};

// Maps rows first .. last - 1 into the ring and on into dest.
void MapRows(const TMapTable& table, TBand& band, int32_t first, int32_t last)
{
    const size_t w = band.w;
    for (int32_t row = first; row < last;) {
        const int32_t slot = row % band.slots;
        const int32_t count = std::min(last - row, band.slots - slot);
        TPixel* rows = band.Slot(slot);
        table.GatherRows(band.source, rows, row, row + count);
        StreamPixels(band.dest + size_t(row) * w, rows, size_t(count) * w);
        if (slot < 2)
            std::memcpy(band.Slot(band.slots + slot), rows, size_t(std::min(count, 2 - slot)) * w * sizeof(TPixel));
        row += count;
    }
    band.mapped = last;
}

// Source rows first .. last - 1 take the smoothed mapped picture and the fade; rows 0 and
// height - 1 become black.
void SmoothBack(TBand& band, int32_t first, int32_t last)
{
    const size_t w = band.w;
    if (first == 0) {
        std::memset(band.source, 0, w * sizeof(TPixel));
        first = 1;
    }
    const int32_t end = last == band.height ? band.height - 1 : last;
    // Rows first - 1 .. end are read: from the ring where it still holds them.
    auto smooth = [&](const TPixel* above, int32_t from, int32_t to) {
        TPixel* d = band.source + size_t(from - 1) * w;
        const size_t n = size_t(to - from + 2) * w, end = size_t(to - from + 1) * w;
        if (band.smoothFade != nullptr)
            band.smoothFade(above, d, w, n, w, end, band.fadeLevel);
        else
            band.smooth(above, d, w, n, w, end);
    };
    const int32_t inRing = std::clamp(band.mapped - band.slots + 1, first, std::max(first, end));
    if (first < inRing)
        smooth(band.dest + size_t(first - 1) * w, first, inRing);
    for (int32_t from = inRing; from < end;) {
        const int32_t slot = (from - 1) % band.slots;
        const int32_t to = std::min(end, from + band.slots - slot);
        smooth(band.Slot(slot), from, to);
        from = to;
    }
    if (last == band.height)
        std::memset(band.source + size_t(band.height - 1) * w, 0, w * sizeof(TPixel));
    if (band.smoothFade != nullptr)
        return; // faded as smoothed; the black rows stay black
    // Whole groups of four pixels, as the packed fade takes them.
    const size_t fadeEnd = last == band.height ? size_t(band.height) * w : (size_t(last) * w) & ~size_t(3);
    if (fadeEnd > band.faded) {
        FadePixels(band.source + band.faded, int64_t(fadeEnd - band.faded), band.fadeLevel);
        band.faded = fadeEnd;
    }
}

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
    table_.Reset(builtWidth_, builtHeight_);
    if (builtWidth_ == 0 || builtHeight_ == 0)
        return;
    const size_t rowBytes = size_t(builtWidth_) * sizeof(TPixel);
    bandRows_ = std::clamp(int32_t(kBandBytes / rowBytes), 1, builtHeight_);
    windowRows_ = std::clamp(int32_t(kWindowBytes / rowBytes), bandRows_, builtHeight_);
    window_.resize(size_t(windowRows_ + 2) * size_t(builtWidth_));
}

void TTranslationMap::SetEntry(int32_t x, int32_t y, int32_t sourceX, int32_t sourceY)
{
    if (x < 0 || y < 0 || x >= builtWidth_ || y >= builtHeight_)
        throw EGfxFilterException("TTranslationMap.SetEntry : Position (" + std::to_string(x) + ", " +
                                  std::to_string(y) + ") is outside the map of " +
                                  SizeText(builtWidth_, builtHeight_) + " pixels");
    table_.Set(x, y, ReflectedIndex(sourceX, sourceY, builtWidth_, builtHeight_));
}

void TTranslationMap::BuildShiftMap(const TSinMagicParams& params)
{
    const int32_t w = builtWidth_, h = builtHeight_;
    const std::vector<float> dx = ShiftTable(params[smrAmplitudesX], params[smrFrequenciesX], w);
    const std::vector<float> dy = ShiftTable(params[smrAmplitudesY], params[smrFrequenciesY], h);
    auto entry = [&](int32_t i, int32_t j) {
        return ReflectedIndex(TruncToInt(float(i) + dy[size_t(j)]), TruncToInt(float(j) + dx[size_t(i)]), w, h);
    };
    // Away from the edges pixel (i, j) reads (i + DY[j]) + (j + DX[i])·w: a row part
    // j·w + DY[j] plus a column part i + DX[i]·w. A row is inner where no column's shift
    // leaves the picture; its inner columns are those whose shifted column stays inside.
    std::vector<int32_t> columnShift, rowShift;
    std::vector<std::pair<int32_t, int32_t>> inner(size_t(h), {0, 0});
    std::vector<int32_t> columnParts(size_t(w), 0), rowParts(size_t(h), 0);
    if (w > 0 && WholeShifts(dx, h, columnShift) && WholeShifts(dy, w, rowShift)) {
        const auto [lowest, highest] = std::minmax_element(columnShift.begin(), columnShift.end());
        const bool anyInner = int64_t(*highest) - *lowest < h;
        for (int32_t i = 0; i < w && anyInner; ++i)
            columnParts[size_t(i)] = i + columnShift[size_t(i)] * w;
        for (int32_t j = 0; j < h && anyInner; ++j) {
            const int32_t shift = rowShift[size_t(j)];
            rowParts[size_t(j)] = j * w + shift;
            if (j + *lowest >= 0 && j + *highest < h) {
                const int32_t begin = int32_t(std::clamp<int64_t>(-int64_t(shift), 0, w));
                const int32_t end = int32_t(std::clamp<int64_t>(int64_t(w) - shift, 0, w));
                inner[size_t(j)] = begin < end ? std::pair{begin, end} : std::pair{0, 0};
            }
        }
    }
    table_.SetSeparable(std::move(columnParts), std::move(rowParts), inner, entry);
}

void TTranslationMap::BuildZoomMap(const TSinMagicParams& params, int32_t centerX, int32_t centerY, bool overlay)
{
    const int32_t w = builtWidth_, h = builtHeight_;
    const std::vector<float> zx = ZoomTable(params[smrAmplitudesX], params[smrFrequenciesX], w);
    const std::vector<float> zy = ZoomTable(params[smrAmplitudesY], params[smrFrequenciesY], h);
    if (overlay) {
        table_.SetEvery([&](int32_t i, int32_t j) {
            const float t = 1.0f - (zx[size_t(i)] + zy[size_t(j)]) / 2.0f;
            return ReflectedIndex(Lerp(centerX, i, t), Lerp(centerY, j, t), w, h);
        });
        return;
    }
    // Each axis on its own: the column comes from the column alone, the row from the row.
    std::vector<int32_t> columnParts(static_cast<size_t>(w)), rowParts(static_cast<size_t>(h));
    for (int32_t i = 0; i < w; ++i)
        columnParts[size_t(i)] = Reflect(Lerp(centerX, i, 1.0f - zx[size_t(i)]), 0, w - 1);
    for (int32_t j = 0; j < h; ++j)
        rowParts[size_t(j)] = Reflect(Lerp(centerY, j, 1.0f - zy[size_t(j)]), 0, h - 1) * w;
    const std::vector<std::pair<int32_t, int32_t>> inner(size_t(h), {0, w});
    table_.SetSeparable(std::move(columnParts), std::move(rowParts), inner, [](int32_t, int32_t) { return 0; });
}

void TTranslationMap::BuildCombinedMap(const TSinMagicParams& shiftParams, const TSinMagicParams& zoomParams,
                                       int32_t centerX, int32_t centerY)
{
    const int32_t w = builtWidth_, h = builtHeight_;
    const std::vector<float> dx = ShiftTable(shiftParams[smrAmplitudesX], shiftParams[smrFrequenciesX], w);
    const std::vector<float> dy = ShiftTable(shiftParams[smrAmplitudesY], shiftParams[smrFrequenciesY], h);
    const std::vector<float> zx = ZoomTable(zoomParams[smrAmplitudesX], zoomParams[smrFrequenciesX], w);
    const std::vector<float> zy = ZoomTable(zoomParams[smrAmplitudesY], zoomParams[smrFrequenciesY], h);
    table_.SetEvery([&](int32_t i, int32_t j) {
        const float t = 1.0f - (zx[size_t(i)] + zy[size_t(j)]) / 2.0f;
        return ReflectedIndex(Lerp(centerX, TruncToInt(float(i) + dy[size_t(j)]), t),
                              Lerp(centerY, TruncToInt(float(j) + dx[size_t(i)]), t), w, h);
    });
}

std::vector<int32_t> TTranslationMap::Entries() const
{
    std::vector<int32_t> entries(size_t(builtWidth_) * size_t(builtHeight_));
    for (int32_t j = 0; j < builtHeight_; ++j)
        table_.RowEntries(j, entries.data() + size_t(j) * size_t(builtWidth_));
    return entries;
}

void TTranslationMap::Apply()
{
    CheckRastersFit("TTranslationMap.Apply");
    table_.Prepare();
    const TPixel* src = source_->Bits();
    TPixel* dst = dest_->Bits();
    table_.StreamWhole(src, dst);
}

void TTranslationMap::ExecuteAndSmoothBack(TDIBRaster& source, TDIBRaster& dest, uint8_t fadeLevel)
{
    SetSource(source);
    SetDest(dest);
    CheckRastersFit("TTranslationMap.Apply");
    if (width_ == 0 || height_ == 0)
        return;
    table_.Prepare();
    TBand band{source_->Bits(), dest_->Bits(), size_t(width_), height_, ChosenSmoothing(),
               // The source rows were just read by the gather, so they are still cached.
               ChosenSmoothFade(false), fadeLevel,           window_.data(), windowRows_};
    // Rows are mapped top to bottom, a band at a time. Source row r takes its smoothed pixels
    // once rows r - 1 .. r + 1 are mapped and no row still to map reads it.
    int32_t done = 0;
    while (band.mapped < height_) {
        MapRows(table_, band, band.mapped, std::min(height_, band.mapped + bandRows_));
        const int32_t next = band.mapped;
        const int32_t ready = next == height_ ? height_ : std::min(next - 1, table_.LowestSourceRowFrom(next));
        if (ready > done) {
            SmoothBack(band, done, ready);
            done = ready;
        }
    }
    EndStreaming();
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
    if (const TSmoothFadeRange smoothFade = ChosenSmoothFade(n * sizeof(TPixel) > kCachedBytes)) {
        smoothFade(s, d, w, n, begin, end, *fadeLevel); // the black rows stay black
        EndStreaming();
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
