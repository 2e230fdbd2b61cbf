#pragma once
// The 32-bit raster every frame is drawn into, and the small pixel and rectangle
// operations shared by the engine and the filters.
//
// A pixel is 0x00RRGGBB (bytes B, G, R, X in memory); the fourth byte means nothing.
// Platform colours (0x00BBGGRR) become pixels through SwapRedBlue.

#include "util/Exception.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

class QImage;
class QPainter;

using TPixel = uint32_t;

// Processor features that select the packed code paths; both false until detection
// (InitCPUFeatures) runs. While both are false every operation takes its plain path.
extern bool HasMMX;
extern bool Has3DNow;
// Within a packed path, 256-bit AVX2 instructions instead of 128-bit ones, with the same
// results; false until detection.
extern bool HasAVX2;
// The wave system's sines sixteen lanes wide with AVX-512, with the same results; false
// until detection.
extern bool HasAVX512;

LUMENFALL_DECLARE_EXCEPTION(EGraphicException, Exception);

// Memory for the arrays that whole-raster passes walk every frame (pixels, translation
// maps): aligned to 64 bytes; blocks of a few megabytes and more are aligned to 2 MiB and
// offered to the system for huge pages, which spares most address translations of such a
// pass. Null when out of memory.
void* AllocateLargeArray(size_t bytes);
void FreeLargeArray(void* block);

// A container's allocator on AllocateLargeArray.
template <typename T>
struct TLargeArrayAllocator {
    using value_type = T;
    TLargeArrayAllocator() = default;
    template <typename U>
    TLargeArrayAllocator(const TLargeArrayAllocator<U>&)
    {
    }
    T* allocate(size_t n)
    {
        if (n > SIZE_MAX / sizeof(T))
            throw std::bad_array_new_length();
        if (void* block = AllocateLargeArray(n * sizeof(T)))
            return static_cast<T*>(block);
        throw std::bad_alloc();
    }
    void deallocate(T* block, size_t) { FreeLargeArray(block); }
    bool operator==(const TLargeArrayAllocator&) const = default;
};

// Inclusive rectangle.
struct TRect {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Right = 0;
    int32_t Bottom = 0;
};

enum class TBrushStyle : uint8_t { bsSolid, bsClear };

// Font style bits, as stored in text presets.
enum : uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

struct TFont {
    std::string Name = "Arial";
    // Pixels; negative is the character height, positive the cell height (with leading).
    int32_t Height = -13;
    uint8_t Style = 0;
    uint32_t Color = 0; // platform colour 0x00BBGGRR
};

// Drawing into a raster's own pixel memory with the platform's text and picture drawing.
class TCanvas {
public:
    explicit TCanvas(QImage& target);
    ~TCanvas();
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    const TFont& Font() const { return font_; }
    void SetFont(const TFont& font);
    uint32_t BrushColor() const { return brushColor_; }
    void SetBrushColor(uint32_t platformColor) { brushColor_ = platformColor; }
    TBrushStyle BrushStyle() const { return brushStyle_; }
    void SetBrushStyle(TBrushStyle style) { brushStyle_ = style; }

    // Texts are UTF-8; a single code point can be given on its own.
    int32_t TextWidth(std::string_view text);
    int32_t TextWidth(char32_t ch);
    // Draws the text with its top-left corner at (x, y); a solid brush fills the text's
    // cell first, a clear one leaves the background.
    void TextOut(int32_t x, int32_t y, std::string_view text);
    void TextOut(int32_t x, int32_t y, char32_t ch);
    // Fills the inclusive rectangle with the brush colour.
    void FillRect(const TRect& rect);
    // Draws a picture with its top-left corner at (x, y).
    void Draw(int32_t x, int32_t y, const QImage& picture);

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
    TFont font_;
    uint32_t brushColor_ = 0x00FFFFFF;
    TBrushStyle brushStyle_ = TBrushStyle::bsSolid;
};

class TDIBRaster {
public:
    // Sizes are made even first. A size that is negative or too large for memory raises
    // EGraphicException; a zero size gives a raster without pixels.
    TDIBRaster(int32_t width, int32_t height);
    ~TDIBRaster();
    TDIBRaster(const TDIBRaster&) = delete;
    TDIBRaster& operator=(const TDIBRaster&) = delete;

    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    int64_t PixelCount() const { return int64_t(width_) * height_; }
    TPixel* Bits() { return bits_; }
    const TPixel* Bits() const { return bits_; }
    // The platform bitmap over the same memory (no copy).
    const QImage& Image() const;
    TCanvas& Canvas();

    // Unscaled copy of a rectangle onto a paint target.
    void CopyToDevice(QPainter& dc, int32_t srcX, int32_t srcY, int32_t destX, int32_t destY, int32_t width,
                      int32_t height) const;
    // Scaled copy; mode 3 (colour on colour) drops rows and columns instead of blending.
    void StretchToDevice(QPainter& dc, int32_t srcX, int32_t srcY, int32_t srcWidth, int32_t srcHeight,
                         int32_t destX, int32_t destY, int32_t destWidth, int32_t destHeight, int32_t mode) const;

    // Motion-blur fade: every channel c becomes floor(c * (2^level - 1) / 2^level).
    void Fade(uint8_t level);
    // Every row moves n pixels to the left; the last n pixels of a row keep their values.
    void ScrollLeft(int32_t n);
    // Additive five-pixel star; nothing on the outermost rows and columns.
    inline void PlotStar(int32_t x, int32_t y, TPixel color);
    // Fills the inclusive rectangle after clamping it to the raster.
    void FillRect(TRect rect, TPixel color);
    TPixel GetPixel(int32_t x, int32_t y) const { return bits_[x + y * width_]; }

private:
    int32_t width_ = 0;
    int32_t height_ = 0;
    TPixel* bits_ = nullptr;
    std::unique_ptr<QImage> image_;
    std::unique_ptr<TCanvas> canvas_;
};

// The motion-blur fade of TDIBRaster::Fade over count pixels; levels above 8 count as 8.
// The packed path needs bits aligned to 16 bytes.
void FadePixels(TPixel* bits, int64_t count, uint8_t level);

// A new raster of the picture's size (made even) with the picture drawn at (0, 0).
std::unique_ptr<TDIBRaster> RasterFromGraphic(const QImage& picture);

// Per channel: min(255, D + (S >> k)); D's fourth byte is kept.
inline TPixel AddShifted(TPixel d, TPixel s, int k)
{
    // Shifting the whole word moves bits of each channel into the one below; the mask
    // drops them, so each channel is shifted on its own.
    const uint32_t add = (s >> k) & ((0xFFu >> k) * 0x010101u);
#if defined(__SSE2__)
    return uint32_t(_mm_cvtsi128_si32(_mm_adds_epu8(_mm_cvtsi32_si128(int(d)), _mm_cvtsi32_si128(int(add)))));
#else
    uint32_t r = ((d >> 16) & 0xFF) + (add >> 16);
    uint32_t g = ((d >> 8) & 0xFF) + ((add >> 8) & 0xFF);
    uint32_t b = (d & 0xFF) + (add & 0xFF);
    if (r > 255) r = 255;
    if (g > 255) g = 255;
    if (b > 255) b = 255;
    return (d & 0xFF000000u) | (r << 16) | (g << 8) | b;
#endif
}

// The largest absolute difference of the red, green and blue bytes.
int32_t ColorDistance(TPixel a, TPixel b);
// Bytes 0 and 2 exchanged, byte 1 kept, fourth byte 0.
inline uint32_t SwapRedBlue(uint32_t v) { return ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF); }
// Channels wrap at 8 bits; they are not clamped.
inline TPixel MakePixel(int32_t r, int32_t g, int32_t b)
{
    return (uint32_t(r & 255) << 16) | (uint32_t(g & 255) << 8) | uint32_t(b & 255);
}
int32_t Lerp(int32_t a, int32_t b, float t);
// Odd values move away from zero: 5 -> 6, -5 -> -6.
void MakeEven(int32_t& a, int32_t& b);
void ClipRect(TRect& r, const TRect& bounds);
inline int32_t RectWidth(const TRect& r) { return r.Right - r.Left + 1; }
inline int32_t RectHeight(const TRect& r) { return r.Bottom - r.Top + 1; }

inline void TDIBRaster::PlotStar(int32_t x, int32_t y, TPixel color)
{
    if (x <= 0 || x >= width_ - 1 || y <= 0 || y >= height_ - 1)
        return;
    TPixel* p = bits_ + x + int64_t(y) * width_;
    *p = AddShifted(*p, color, 1);
    p[-1] = AddShifted(p[-1], color, 2);
    p[1] = AddShifted(p[1], color, 2);
    p[-width_] = AddShifted(p[-width_], color, 2);
    p[width_] = AddShifted(p[width_], color, 2);
}
