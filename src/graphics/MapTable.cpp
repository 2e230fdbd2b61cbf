#include "graphics/MapTable.h"

#include <algorithm>
#include <cstdlib>

namespace {

// A wave shift reads its sources a few rows further on for the first time at the same
// columns; asking for those lines while this row is gathered keeps enough of them in flight.
constexpr int32_t kPrefetchRows = 2;
// Any other map asks for the source of the pixel this many places on.
constexpr int32_t kPrefetchAhead = 256;

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

// out[q] := src[offset + indices[q]] for q = 0 .. 3, all loads before the stores.
inline void GatherFour(const TPixel* src, ptrdiff_t offset, const int32_t* indices, TPixel* out)
{
    const TPixel a = src[offset + indices[0]], b = src[offset + indices[1]];
    const TPixel c = src[offset + indices[2]], d = src[offset + indices[3]];
    out[0] = a;
    out[1] = b;
    out[2] = c;
    out[3] = d;
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
    constexpr int64_t kPixelsPerLine = 16;
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
    prepared_ = true;
}

void TMapTable::GatherSeparableRow(const TPixel* src, TPixel* out, int32_t j) const
{
    const auto [begin, end] = inner_[size_t(j)];
    const int32_t* edge = edges_.data() + edgeStart_[size_t(j)];
    for (int32_t i = 0; i < begin; ++i)
        out[i] = src[*edge++];
    // The row part alone may lie outside the picture; only the sums are indices.
    const ptrdiff_t row = rowParts_[size_t(j)];
    const int32_t* columns = columnParts_.data();
    int32_t i = begin;
    if (prefetchSpacing_ != 0) {
        // The same columns a few rows on: their lines are read for the first time there.
        const int32_t ahead = std::min(j + kPrefetchRows, height_ - 1);
        // As addresses: the row part of another row plus these columns need not lie inside.
        const uintptr_t rowAhead = reinterpret_cast<uintptr_t>(src) + uintptr_t(intptr_t(rowParts_[size_t(ahead)])) * 4;
        for (; i + 4 <= end; i += 4) {
            for (int32_t q = 0; q < 4; q += prefetchSpacing_)
                __builtin_prefetch(reinterpret_cast<const void*>(rowAhead + uintptr_t(intptr_t(columns[i + q])) * 4));
            GatherFour(src, row, columns + i, out + i);
        }
    }
    for (; i + 4 <= end; i += 4)
        GatherFour(src, row, columns + i, out + i);
    for (; i < end; ++i)
        out[i] = src[row + columns[i]];
    for (i = end; i < width_; ++i)
        out[i] = src[*edge++];
}

void TMapTable::GatherEveryRow(const TPixel* src, TPixel* out, int32_t j) const
{
    const int32_t* entries = every_.data() + size_t(j) * size_t(width_);
    int32_t i = 0;
    if (prefetchSpacing_ != 0) {
        for (; i + kPrefetchAhead + 4 <= width_; i += 4) {
            for (int32_t q = 0; q < 4; q += prefetchSpacing_)
                __builtin_prefetch(src + entries[i + kPrefetchAhead + q]);
            GatherFour(src, 0, entries + i, out + i);
        }
    }
    for (; i < width_; ++i)
        out[i] = src[entries[i]];
}

void TMapTable::GatherRows(const TPixel* src, TPixel* dst, int32_t first, int32_t last) const
{
    for (int32_t j = first; j < last; ++j) {
        TPixel* out = dst + size_t(j - first) * size_t(width_);
        if (separable_)
            GatherSeparableRow(src, out, j);
        else
            GatherEveryRow(src, out, j);
    }
}
