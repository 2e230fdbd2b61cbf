#pragma once
// The source index of every destination pixel of a translation map, kept so that a frame
// reads as little of it as it can: a separable map (a shift, a plain zoom, the identity) as
// one part per column and one per row, added inside each row's inner columns, plus the
// indices of the pixels outside them (where a mirrored edge breaks the sum) one by one; any
// other map as every index.

#include "graphics/GfxTool.h"

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

class TMapTable {
public:
    using TEntryFunction = std::function<int32_t(int32_t i, int32_t j)>;
    // Streams the pixels at indices (from base, as bytes) to out, which starts a cache line,
    // as far as whole steps of the loop's width go into count; returns how many it wrote.
    using TStreamRun = int32_t (*)(uintptr_t base, const int32_t* indices, TPixel* out, int32_t count);

    // The identity of a width x height map.
    void Reset(int32_t width, int32_t height);
    // Pixel (i, j) reads rowParts[j] + columnParts[i] for inner[j].first <= i < inner[j].second
    // and edge(i, j) elsewhere; the caller makes sure every index is inside the map.
    void SetSeparable(std::vector<int32_t> columnParts, std::vector<int32_t> rowParts,
                      const std::vector<std::pair<int32_t, int32_t>>& inner, const TEntryFunction& edge);
    // Pixel (i, j) reads entry(i, j).
    void SetEvery(const TEntryFunction& entry);
    // Pixel (i, j) reads source; the table then holds every index.
    void Set(int32_t i, int32_t j, int32_t source);

    bool Separable() const { return separable_; }
    int32_t Entry(int32_t i, int32_t j) const;
    // The indices of row j, width of them.
    void RowEntries(int32_t j, int32_t* out) const;

    // Works out what the frames need to know about the map (the source rows of every row,
    // how often the sources jump about); call after a change and before the calls below.
    void Prepare();
    // Rows first .. last - 1 through the map into dst, whose rows follow each other.
    void GatherRows(const TPixel* src, TPixel* dst, int32_t first, int32_t last) const;
    // The whole picture through the map into dst in one sweep, with streaming stores, for a
    // destination that is not read again soon.
    void StreamWhole(const TPixel* src, TPixel* dst) const;
    // The lowest source row read by rows j .. height - 1; height for j = height.
    int32_t LowestSourceRowFrom(int32_t j) const { return lowestFrom_[size_t(j)]; }

private:
    // Row j of a separable map into out; with streaming stores through run if Stream.
    template <bool Stream>
    void SeparableRow(const TPixel* src, TPixel* out, int32_t j, TStreamRun run) const;
    void GatherEveryRow(const TPixel* src, TPixel* out, int32_t j) const;

    int32_t width_ = 0;
    int32_t height_ = 0;
    bool separable_ = true;
    bool prepared_ = false;

    // Separable form.
    std::vector<int32_t> columnParts_;
    std::vector<int32_t> rowParts_;
    std::vector<std::pair<int32_t, int32_t>> inner_;
    // The indices left and right of row j's inner columns start at edgeStart_[j].
    std::vector<int32_t> edges_;
    std::vector<size_t> edgeStart_;

    // Every index.
    std::vector<int32_t, TLargeArrayAllocator<int32_t>> every_;

    std::vector<int32_t> lowestFrom_;
    // The column parts of the columns that start a source line, and for each column how many
    // of them lie left of it.
    struct TLineStarts {
        std::vector<int32_t> parts;
        std::vector<uint32_t> before;
    };
    // For a map whose sources jump about, by the remainder of the row's first pixel index by
    // the pixels of a line: every line start, and those whose line the row above at the same
    // shift does not read.
    std::vector<TLineStarts> lineStarts_;
    std::vector<TLineStarts> newLineStarts_;
    // Pixels per software prefetch of a source line (0: none).
    int32_t prefetchSpacing_ = 0;
};
