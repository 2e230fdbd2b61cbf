#include "graphics/MapTable.h"

#include <algorithm>
#include <cstdlib>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace {

// Pixels in a 64-byte cache line.
constexpr int32_t kPixelsPerLine = 16;
constexpr uintptr_t kLineBytes = kPixelsPerLine * sizeof(TPixel);

// A wave shift reads its sources a few rows further on for the first time at the same
// columns; asking for those lines while this row is gathered keeps enough of them in flight.
constexpr int32_t kPrefetchRows = 2;
// Any other map asks for the source of the pixel this many places on.
constexpr int32_t kPrefetchAhead = 256;
// Pixels of a separable row gathered between two rounds of prefetches.
constexpr int32_t kChunkPixels = 64;

// A source line wanted a few hundred pixels or rows from now, asked for with a low locality
// hint: a row's worth of lines brought into the first-level cache would push out the lines
// being gathered now, so they go no nearer than the second level (a fifth faster here).
inline void PrefetchFar(const void* address) { __builtin_prefetch(address, 0, 1); }

// How many destination pixels share one software prefetch of their source (0: none). Long
// runs of neighbouring sources (identity, zoom) are followed by the processor's own
// prefetcher. A map that leaves its run every few dozen pixels (an overlay zoom, whose source
// row drifts along each destination row) would wait for memory at every jump: a prefetch
// for every fourth pixel lands in each run. A map that leaves it every few pixels (a wave
// shift) needs one for every pixel.
int32_t PrefetchSpacing(size_t jumps, size_t pixels)
{
    if (jumps * 16 > pixels)
        return 1;
    return jumps * 512 > pixels ? 4 : 0;
}

// The address of index offset of src, summed as integers: a row part alone may lie outside
// the picture, and only its sums with the columns are indices.
inline uintptr_t RowBase(const TPixel* src, ptrdiff_t offset)
{
    return reinterpret_cast<uintptr_t>(src) + uintptr_t(offset) * sizeof(TPixel);
}

// Index column from a row base; one addressing mode does the sum.
inline const TPixel* AddressAt(uintptr_t base, int32_t column)
{
    return reinterpret_cast<const TPixel*>(base + uintptr_t(intptr_t(column)) * sizeof(TPixel));
}

inline TPixel PixelAt(uintptr_t base, int32_t column) { return *AddressAt(base, column); }

// out[q] := the pixel at indices[q] from base for q = 0 .. 3, all loads before the stores.
inline void GatherFour(uintptr_t base, const int32_t* indices, TPixel* out)
{
    const TPixel a = PixelAt(base, indices[0]), b = PixelAt(base, indices[1]);
    const TPixel c = PixelAt(base, indices[2]), d = PixelAt(base, indices[3]);
    out[0] = a;
    out[1] = b;
    out[2] = c;
    out[3] = d;
}

#if defined(__SSE2__)
// The same with one streaming store; out is aligned to 16 bytes.
inline void StreamFour(uintptr_t base, const int32_t* indices, TPixel* out)
{
    _mm_stream_si128(reinterpret_cast<__m128i*>(out),
                     _mm_setr_epi32(int32_t(PixelAt(base, indices[0])), int32_t(PixelAt(base, indices[1])),
                                    int32_t(PixelAt(base, indices[2])), int32_t(PixelAt(base, indices[3]))));
}

// Whole lines in one streaming store each: a line written in parts waits in the processor's
// write-combining buffers, and a mapped 4K picture goes out about a tenth faster this way.
__attribute__((target("avx2"))) int32_t StreamEights(uintptr_t base, const int32_t* indices, TPixel* out,
                                                     int32_t count)
{
    int32_t k = 0;
    for (; k + 8 <= count; k += 8) {
        const int32_t* q = indices + k;
        const __m128i low = _mm_setr_epi32(int32_t(PixelAt(base, q[0])), int32_t(PixelAt(base, q[1])),
                                           int32_t(PixelAt(base, q[2])), int32_t(PixelAt(base, q[3])));
        const __m128i high = _mm_setr_epi32(int32_t(PixelAt(base, q[4])), int32_t(PixelAt(base, q[5])),
                                            int32_t(PixelAt(base, q[6])), int32_t(PixelAt(base, q[7])));
        _mm256_stream_si256(reinterpret_cast<__m256i*>(out + k),
                            _mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1));
    }
    return k;
}

__attribute__((target("avx512f"))) int32_t StreamSixteens(uintptr_t base, const int32_t* indices, TPixel* out,
                                                          int32_t count)
{
    int32_t k = 0;
    for (; k + 16 <= count; k += 16) {
        const int32_t* q = indices + k;
        auto four = [&](int32_t f) {
            return _mm_setr_epi32(int32_t(PixelAt(base, q[f])), int32_t(PixelAt(base, q[f + 1])),
                                  int32_t(PixelAt(base, q[f + 2])), int32_t(PixelAt(base, q[f + 3])));
        };
        __m512i line = _mm512_castsi128_si512(four(0));
        line = _mm512_inserti32x4(line, four(4), 1);
        line = _mm512_inserti32x4(line, four(8), 2);
        line = _mm512_inserti32x4(line, four(12), 3);
        _mm512_stream_si512(reinterpret_cast<__m512i*>(out + k), line);
    }
    return k;
}
#else
inline void StreamFour(uintptr_t base, const int32_t* indices, TPixel* out) { GatherFour(base, indices, out); }
#endif

int32_t StreamFours(uintptr_t base, const int32_t* indices, TPixel* out, int32_t count)
{
    int32_t k = 0;
    for (; k + 4 <= count; k += 4)
        StreamFour(base, indices + k, out + k);
    return k;
}

// The widest streaming loop the processor has.
TMapTable::TStreamRun ChosenStreamRun()
{
#if defined(__SSE2__)
    if (HasAVX512)
        return StreamSixteens;
    if (HasAVX2)
        return StreamEights;
#endif
    return StreamFours;
}

// dst[k] := src[map[k]] for the whole picture, prefetching the source of every Spacing-th
// pixel; the destination goes out with streaming stores where it is aligned.
template <int32_t Spacing>
void StreamThroughMap(const TPixel* src, TPixel* dst, const int32_t* map, size_t n)
{
    size_t k = 0;
#if defined(__SSE2__)
    if (reinterpret_cast<uintptr_t>(dst) % sizeof(__m128i) == 0) {
        for (; k + kPrefetchAhead + 4 <= n; k += 4) {
            if constexpr (Spacing != 0) {
                for (size_t q = 0; q < 4; q += Spacing)
                    PrefetchFar(src + map[k + kPrefetchAhead + q]);
            }
            const int32_t* m = map + k;
            _mm_stream_si128(reinterpret_cast<__m128i*>(dst + k),
                             _mm_setr_epi32(int32_t(src[m[0]]), int32_t(src[m[1]]), int32_t(src[m[2]]),
                                            int32_t(src[m[3]])));
        }
        _mm_sfence();
    }
#endif
    for (; k < n; ++k)
        dst[k] = src[map[k]];
}

} // namespace

void TMapTable::Reset(int32_t width, int32_t height)
{
    width_ = width;
    height_ = height;
    std::vector<int32_t> columns(static_cast<size_t>(width)), rows(static_cast<size_t>(height));
    for (int32_t i = 0; i < width; ++i)
        columns[size_t(i)] = i;
    for (int32_t j = 0; j < height; ++j)
        rows[size_t(j)] = j * width;
    const std::vector<std::pair<int32_t, int32_t>> inner(size_t(height), {0, width});
    SetSeparable(std::move(columns), std::move(rows), inner, [](int32_t, int32_t) { return 0; });
}

void TMapTable::SetSeparable(std::vector<int32_t> columnParts, std::vector<int32_t> rowParts,
                             const std::vector<std::pair<int32_t, int32_t>>& inner, const TEntryFunction& edge)
{
    separable_ = true;
    prepared_ = false;
    every_ = {};
    columnParts_ = std::move(columnParts);
    rowParts_ = std::move(rowParts);
    inner_ = inner;
    edges_.clear();
    edgeStart_.assign(size_t(height_) + 1, 0);
    for (int32_t j = 0; j < height_; ++j) {
        edgeStart_[size_t(j)] = edges_.size();
        const auto [begin, end] = inner_[size_t(j)];
        for (int32_t i = 0; i < begin; ++i)
            edges_.push_back(edge(i, j));
        for (int32_t i = end; i < width_; ++i)
            edges_.push_back(edge(i, j));
    }
    edgeStart_[size_t(height_)] = edges_.size();
}

void TMapTable::SetEvery(const TEntryFunction& entry)
{
    std::vector<int32_t, TLargeArrayAllocator<int32_t>> every(size_t(width_) * size_t(height_));
    for (int32_t j = 0; j < height_; ++j)
        for (int32_t i = 0; i < width_; ++i)
            every[size_t(i) + size_t(j) * size_t(width_)] = entry(i, j);
    separable_ = false;
    prepared_ = false;
    every_ = std::move(every);
    columnParts_ = {};
    rowParts_ = {};
    inner_ = {};
    edges_ = {};
    edgeStart_ = {};
}

void TMapTable::Set(int32_t i, int32_t j, int32_t source)
{
    if (separable_)
        SetEvery([this](int32_t x, int32_t y) { return Entry(x, y); });
    prepared_ = false;
    every_[size_t(i) + size_t(j) * size_t(width_)] = source;
}

int32_t TMapTable::Entry(int32_t i, int32_t j) const
{
    if (!separable_)
        return every_[size_t(i) + size_t(j) * size_t(width_)];
    const auto [begin, end] = inner_[size_t(j)];
    if (i >= begin && i < end)
        return rowParts_[size_t(j)] + columnParts_[size_t(i)];
    const size_t edge = edgeStart_[size_t(j)] + size_t(i < begin ? i : begin + (i - end));
    return edges_[edge];
}

void TMapTable::RowEntries(int32_t j, int32_t* out) const
{
    for (int32_t i = 0; i < width_; ++i)
        out[i] = Entry(i, j);
}

void TMapTable::Prepare()
{
    if (prepared_)
        return;
    lowestFrom_.assign(size_t(height_) + 1, height_);
    std::vector<int32_t> row(static_cast<size_t>(width_));
    size_t jumps = 0;
    for (int32_t j = height_ - 1; j >= 0; --j) {
        RowEntries(j, row.data());
        int32_t lowest = lowestFrom_[size_t(j) + 1];
        for (size_t i = 0; i < row.size(); ++i) {
            lowest = std::min(lowest, row[i] / width_);
            jumps += i > 0 && std::abs(int64_t(row[i]) - row[i - 1]) > kPixelsPerLine;
        }
        lowestFrom_[size_t(j)] = lowest;
    }
    prefetchSpacing_ = PrefetchSpacing(jumps, size_t(width_) * size_t(height_));
    lineStarts_.clear();
    newLineStarts_.clear();
    if (separable_ && prefetchSpacing_ != 0) {
        for (int32_t remainder = 0; remainder < kPixelsPerLine; ++remainder) {
            // Floor division by the 16 pixels of a line: the line of column i for a row whose
            // first pixel index is offset (with this remainder), or the row above it.
            auto line = [&](int64_t offset, int32_t i) { return (offset + columnParts_[size_t(i)]) >> 4; };
            std::vector<int64_t> linesAbove(static_cast<size_t>(width_));
            for (int32_t i = 0; i < width_; ++i)
                linesAbove[size_t(i)] = line(int64_t(remainder) - width_, i);
            std::sort(linesAbove.begin(), linesAbove.end());
            TLineStarts& every = lineStarts_.emplace_back();
            TLineStarts& fresh = newLineStarts_.emplace_back();
            for (int32_t i = 0; i < width_; ++i) {
                every.before.push_back(uint32_t(every.parts.size()));
                fresh.before.push_back(uint32_t(fresh.parts.size()));
                if (i > 0 && line(remainder, i) == line(remainder, i - 1))
                    continue;
                every.parts.push_back(columnParts_[size_t(i)]);
                if (!std::binary_search(linesAbove.begin(), linesAbove.end(), line(remainder, i)))
                    fresh.parts.push_back(columnParts_[size_t(i)]);
            }
            every.before.push_back(uint32_t(every.parts.size()));
            fresh.before.push_back(uint32_t(fresh.parts.size()));
        }
    }
    prepared_ = true;
}

// The inner columns of row j go through the column parts in chunks; before each chunk the
// source lines that the same columns of a row a little further on read for the first time
// are asked for, one prefetch a line (the lines start where the precomputed list says for
// that row's alignment).
template <bool Stream>
void TMapTable::SeparableRow(const TPixel* src, TPixel* out, int32_t j, TStreamRun run) const
{
    const auto [begin, end] = inner_[size_t(j)];
    const int32_t aheadRow = std::min(j + kPrefetchRows, height_ - 1);
    // Pixels outside the inner columns read their own indices; near the top and bottom of a
    // wave shift those are whole rows, whose sources are asked for a few rows ahead as well.
    const int32_t* edges = edges_.data() + edgeStart_[size_t(j)];
    const int32_t* edgesAhead = edges_.data() + edgeStart_[size_t(aheadRow)];
    const size_t edgeCount = edgeStart_[size_t(j) + 1] - edgeStart_[size_t(j)];
    const size_t prefetched = lineStarts_.empty() ? 0 : std::min(edgeCount, edgeStart_[size_t(aheadRow) + 1] - edgeStart_[size_t(aheadRow)]);
    size_t edge = 0;
    auto copyEdge = [&](int32_t i) {
        if (edge < prefetched)
            PrefetchFar(src + edgesAhead[edge]);
        out[i] = src[edges[edge++]];
    };
    for (int32_t i = 0; i < begin; ++i)
        copyEdge(i);
    const uintptr_t rowBase = RowBase(src, rowParts_[size_t(j)]);
    const int32_t* columns = columnParts_.data();
    int32_t i = begin;
    for (; i < end && Stream && reinterpret_cast<uintptr_t>(out + i) % kLineBytes != 0; ++i)
        out[i] = PixelAt(rowBase, columns[i]);
    // The row part of another row plus these columns need not lie inside: only prefetched.
    const uintptr_t rowAhead = RowBase(src, rowParts_[size_t(aheadRow)]);
    const size_t remainder = (rowAhead / sizeof(TPixel)) % kPixelsPerLine;
    const TLineStarts* every = lineStarts_.empty() ? nullptr : &lineStarts_[remainder];
    // Where the row ahead is the one above it moved down by a row, the lines that one reads
    // are cached by the time it is gathered, and only the others are asked for. A line is
    // read by the row above only within a line's pixels of the same column, so near the ends
    // of the inner columns, where the row above reads other indices, every line is asked for.
    const auto [aheadBegin, aheadEnd] = inner_[size_t(aheadRow)];
    const bool movedDown = aheadRow > 0 && inner_[size_t(aheadRow) - 1] == inner_[size_t(aheadRow)] &&
                           int64_t(rowParts_[size_t(aheadRow)]) - rowParts_[size_t(aheadRow) - 1] == width_;
    const TLineStarts* fresh = every != nullptr && movedDown ? &newLineStarts_[remainder] : every;
    while (i < end) {
        const int32_t stop = std::min(end, i + kChunkPixels);
        if (every != nullptr) {
            const bool inside = i >= aheadBegin + kPixelsPerLine && stop <= aheadEnd - kPixelsPerLine;
            const TLineStarts& starts = inside ? *fresh : *every;
            for (uint32_t k = starts.before[size_t(i)]; k < starts.before[size_t(stop)]; ++k)
                PrefetchFar(AddressAt(rowAhead, starts.parts[k]));
        }
        if constexpr (Stream)
            i += run(rowBase, columns + i, out + i, stop - i);
        for (; i + 4 <= stop; i += 4) {
            if constexpr (Stream)
                StreamFour(rowBase, columns + i, out + i);
            else
                GatherFour(rowBase, columns + i, out + i);
        }
        for (; i < stop; ++i)
            out[i] = PixelAt(rowBase, columns[i]);
    }
    for (i = end; i < width_; ++i)
        copyEdge(i);
}

void TMapTable::GatherEveryRow(const TPixel* src, TPixel* out, int32_t j) const
{
    const int32_t* entries = every_.data() + size_t(j) * size_t(width_);
    int32_t i = 0;
    if (prefetchSpacing_ != 0) {
        for (; i + kPrefetchAhead + 4 <= width_; i += 4) {
            for (int32_t q = 0; q < 4; q += prefetchSpacing_)
                PrefetchFar(src + entries[i + kPrefetchAhead + q]);
            GatherFour(RowBase(src, 0), entries + i, out + i);
        }
    }
    for (; i < width_; ++i)
        out[i] = src[entries[i]];
}

void TMapTable::StreamWhole(const TPixel* src, TPixel* dst) const
{
    if (separable_) {
        const TStreamRun run = ChosenStreamRun();
        for (int32_t j = 0; j < height_; ++j)
            SeparableRow<true>(src, dst + size_t(j) * size_t(width_), j, run);
#if defined(__SSE2__)
        _mm_sfence();
#endif
        return;
    }
    const size_t n = every_.size();
    if (prefetchSpacing_ == 1)
        StreamThroughMap<1>(src, dst, every_.data(), n);
    else if (prefetchSpacing_ == 4)
        StreamThroughMap<4>(src, dst, every_.data(), n);
    else
        StreamThroughMap<0>(src, dst, every_.data(), n);
}

void TMapTable::GatherRows(const TPixel* src, TPixel* dst, int32_t first, int32_t last) const
{
    for (int32_t j = first; j < last; ++j) {
        TPixel* out = dst + size_t(j - first) * size_t(width_);
        if (separable_)
            SeparableRow<false>(src, out, j, nullptr);
        else
            GatherEveryRow(src, out, j);
    }
}
