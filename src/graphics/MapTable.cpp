#include "graphics/MapTable.h"

#include <algorithm>
#include <limits>

namespace {

constexpr int16_t kEscape = std::numeric_limits<int16_t>::min();
// The steps pay when they replace all but this share of the indices.
constexpr size_t kMostEscapesPerPixel = 16;

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
    steps_ = {};
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
    if (!separable_)
        MakeSteps();
    lowestFrom_.assign(size_t(height_) + 1, height_);
    std::vector<int32_t> row(static_cast<size_t>(width_));
    for (int32_t j = height_ - 1; j >= 0; --j) {
        RowEntries(j, row.data());
        int32_t lowest = lowestFrom_[size_t(j) + 1];
        for (int32_t index : row)
            lowest = std::min(lowest, index / width_);
        lowestFrom_[size_t(j)] = lowest;
    }
    prepared_ = true;
}

void TMapTable::MakeSteps()
{
    const size_t w = size_t(width_), n = w * size_t(height_);
    size_t escapes = 0;
    for (size_t k = 0; k < n; ++k)
        if (k % w != 0) {
            const int64_t step = int64_t(every_[k]) - every_[k - 1];
            escapes += step <= kEscape || step > std::numeric_limits<int16_t>::max();
        }
    stepped_ = escapes * kMostEscapesPerPixel <= n;
    if (!stepped_) {
        rowFirst_ = {};
        steps_ = {};
        escapes_ = {};
        escapeStart_ = {};
        return;
    }
    rowFirst_.resize(size_t(height_));
    steps_.assign(n, 0);
    escapes_.clear();
    escapes_.reserve(escapes);
    escapeStart_.assign(size_t(height_) + 1, 0);
    for (size_t j = 0; j < size_t(height_); ++j) {
        escapeStart_[j] = escapes_.size();
        rowFirst_[j] = every_[j * w];
        for (size_t k = j * w + 1; k < (j + 1) * w; ++k) {
            const int64_t step = int64_t(every_[k]) - every_[k - 1];
            if (step <= kEscape || step > std::numeric_limits<int16_t>::max()) {
                steps_[k] = kEscape;
                escapes_.push_back(every_[k]);
            } else {
                steps_[k] = int16_t(step);
            }
        }
    }
    escapeStart_[size_t(height_)] = escapes_.size();
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
    for (; i + 4 <= end; i += 4) {
        const TPixel a = src[row + columns[i]], b = src[row + columns[i + 1]];
        const TPixel c = src[row + columns[i + 2]], d = src[row + columns[i + 3]];
        out[i] = a;
        out[i + 1] = b;
        out[i + 2] = c;
        out[i + 3] = d;
    }
    for (; i < end; ++i)
        out[i] = src[row + columns[i]];
    for (i = end; i < width_; ++i)
        out[i] = src[*edge++];
}

void TMapTable::GatherStepRow(const TPixel* src, TPixel* out, int32_t j) const
{
    const int16_t* steps = steps_.data() + size_t(j) * size_t(width_);
    const int32_t* escape = escapes_.data() + escapeStart_[size_t(j)];
    int32_t index = rowFirst_[size_t(j)];
    out[0] = src[index];
    for (int32_t i = 1; i < width_; ++i) {
        const int16_t step = steps[i];
        index = step == kEscape ? *escape++ : index + step;
        out[i] = src[index];
    }
}

void TMapTable::GatherRows(const TPixel* src, TPixel* dst, int32_t first, int32_t last) const
{
    for (int32_t j = first; j < last; ++j) {
        TPixel* out = dst + size_t(j - first) * size_t(width_);
        if (separable_) {
            GatherSeparableRow(src, out, j);
        } else if (stepped_) {
            GatherStepRow(src, out, j);
        } else {
            const int32_t* entries = every_.data() + size_t(j) * size_t(width_);
            for (int32_t i = 0; i < width_; ++i)
                out[i] = src[entries[i]];
        }
    }
}
