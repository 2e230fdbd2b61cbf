#include "graphics/GfxTool.h"

#include "util/NumericConversion.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QString>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <immintrin.h>
#endif
#if defined(__linux__)
#include <sys/mman.h>
#endif

bool HasMMX = false;
bool Has3DNow = false;
bool HasAVX2 = false;
bool HasAVX512 = false;

namespace {

// Largest raster we will allocate: a side of 32768 pixels (the platform bitmap's limit)
// and 2^28 pixels (1 GiB).
constexpr int32_t kMaxSide = 32768;
constexpr int64_t kMaxPixels = int64_t(1) << 28;
constexpr size_t kPixelAlignment = 64;
constexpr size_t kHugePageSize = size_t(2) << 20;

QString ToQString(std::string_view utf8) { return QString::fromUtf8(utf8.data(), qsizetype(utf8.size())); }

QString ToQString(char32_t ch) { return QString::fromUcs4(&ch, 1); }

QColor ColorFromPlatform(uint32_t bgr) { return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }

void FadePlain(TPixel* bits, int64_t count, uint8_t level)
{
    const uint32_t keep = (1u << level) - 1;
    for (int64_t i = count - 1; i >= 0; --i) {
        const uint32_t p = bits[i];
        // Red and blue share one word: each product stays inside its own 16 bits.
        const uint32_t rb = (((p & 0x00FF00FFu) * keep) >> level) & 0x00FF00FFu;
        const uint32_t g = (((p & 0x0000FF00u) * keep) >> level) & 0x0000FF00u;
        bits[i] = rb | g;
    }
}

#if defined(__SSE2__)
// Per byte c - ceil(c / 2^level), which equals floor(c * (2^level - 1) / 2^level): with
// t = max(c - 1, 0) it is t - (t >> level), and 0 stays 0. Each loop returns the number of
// pixels it did.
int64_t FadePacked4(TPixel* bits, int64_t count, uint8_t level)
{
    const __m128i one = _mm_set1_epi8(1);
    const __m128i quotientMask = _mm_set1_epi8(char(0xFFu >> level));
    const __m128i shift = _mm_cvtsi32_si128(level);
    int64_t i = 0;
    for (; i + 4 <= count; i += 4) {
        auto* p = reinterpret_cast<__m128i*>(bits + i);
        const __m128i t = _mm_subs_epu8(_mm_load_si128(p), one);
        _mm_store_si128(p, _mm_sub_epi8(t, _mm_and_si128(_mm_srl_epi16(t, shift), quotientMask)));
    }
    return i;
}

// The same, eight pixels per instruction; only called when the processor has AVX2.
__attribute__((target("avx2"))) int64_t FadePacked8(TPixel* bits, int64_t count, uint8_t level)
{
    const __m256i one = _mm256_set1_epi8(1);
    const __m256i quotientMask = _mm256_set1_epi8(char(0xFFu >> level));
    const __m128i shift = _mm_cvtsi32_si128(level);
    int64_t i = 0;
    for (; i + 8 <= count; i += 8) {
        auto* p = reinterpret_cast<__m256i*>(bits + i);
        const __m256i t = _mm256_subs_epu8(_mm256_loadu_si256(p), one);
        _mm256_storeu_si256(p, _mm256_sub_epi8(t, _mm256_and_si256(_mm256_srl_epi16(t, shift), quotientMask)));
    }
    return i;
}

void FadePacked(TPixel* bits, int64_t count, uint8_t level)
{
    int64_t done = HasAVX2 ? FadePacked8(bits, count, level) : 0;
    done += FadePacked4(bits + done, count - done, level);
    FadePlain(bits + done, count - done, level);
}
#else
void FadePacked(TPixel* bits, int64_t count, uint8_t level) { FadePlain(bits, count, level); }
#endif

} // namespace

// ---- TCanvas -----------------------------------------------------------------------

class TCanvas::Impl {
public:
    explicit Impl(QImage& target) : target(target) {}

    QPainter& Painter()
    {
        if (!painter.isActive())
            painter.begin(&target);
        return painter;
    }

    // The text as UTF-16 in a buffer kept between calls: ASCII, as the overlay's texts are,
    // is widened in place without allocating once the buffer has grown to fit.
    const QString& Text(std::string_view utf8)
    {
        if (!std::all_of(utf8.begin(), utf8.end(), [](char c) { return uint8_t(c) < 0x80; })) {
            text = ToQString(utf8);
            return text;
        }
        text.resize(qsizetype(utf8.size()));
        QChar* out = text.data();
        for (size_t k = 0; k < utf8.size(); ++k)
            out[k] = QLatin1Char(utf8[k]);
        return text;
    }

    QImage& target;
    QPainter painter;
    QFont font;
    QString text;
};

TCanvas::TCanvas(QImage& target) : impl_(std::make_unique<Impl>(target)) { SetFont(font_); }

TCanvas::~TCanvas() = default;

void TCanvas::SetFont(const TFont& font)
{
    font_ = font;
    QFont f(QString::fromStdString(font.Name));
    const int32_t height = font.Height == 0 ? -13 : font.Height;
    if (height < 0) {
        f.setPixelSize(-height);
    } else {
        // A positive height is the whole cell; scale the character size to fit it.
        f.setPixelSize(std::max(1, height));
        const int cell = QFontMetrics(f).height();
        if (cell > 0)
            f.setPixelSize(std::max(1, height * height / cell));
    }
    f.setBold(font.Style & fsBold);
    f.setItalic(font.Style & fsItalic);
    f.setUnderline(font.Style & fsUnderline);
    f.setStrikeOut(font.Style & fsStrikeOut);
    f.setStyleStrategy(QFont::NoAntialias);
    impl_->font = f;
}

int32_t TCanvas::TextWidth(std::string_view text) { return QFontMetrics(impl_->font).horizontalAdvance(ToQString(text)); }

int32_t TCanvas::TextWidth(char32_t ch) { return QFontMetrics(impl_->font).horizontalAdvance(ToQString(ch)); }


namespace {

void DrawText(QPainter& painter, const QFont& font, const TFont& attributes, uint32_t brushColor, TBrushStyle brushStyle,
              int32_t x, int32_t y, const QString& text)
{
    painter.setFont(font);
    const QFontMetrics metrics(font);
    if (brushStyle == TBrushStyle::bsSolid)
        painter.fillRect(QRect(x, y, metrics.horizontalAdvance(text), metrics.height()), ColorFromPlatform(brushColor));
    painter.setPen(ColorFromPlatform(attributes.Color));
    painter.drawText(QPoint(x, y + metrics.ascent()), text);
}

} // namespace

void TCanvas::TextOut(int32_t x, int32_t y, std::string_view text)
{
    if (impl_->target.isNull())
        return;
    DrawText(impl_->Painter(), impl_->font, font_, brushColor_, brushStyle_, x, y, impl_->Text(text));
}

void TCanvas::TextOut(int32_t x, int32_t y, char32_t ch)
{
    if (impl_->target.isNull())
        return;
    DrawText(impl_->Painter(), impl_->font, font_, brushColor_, brushStyle_, x, y, ToQString(ch));
}

void TCanvas::FillRect(const TRect& rect)
{
    if (impl_->target.isNull() || brushStyle_ == TBrushStyle::bsClear)
        return;
    impl_->Painter().fillRect(QRect(QPoint(rect.Left, rect.Top), QPoint(rect.Right, rect.Bottom)),
                              ColorFromPlatform(brushColor_));
}

void TCanvas::Draw(int32_t x, int32_t y, const QImage& picture)
{
    if (impl_->target.isNull())
        return;
    impl_->Painter().drawImage(QPoint(x, y), picture);
}

// ---- large arrays ------------------------------------------------------------------

void* AllocateLargeArray(size_t bytes)
{
    const size_t alignment = bytes >= kHugePageSize ? kHugePageSize : kPixelAlignment;
    if (bytes > SIZE_MAX - alignment)
        return nullptr;
    const size_t rounded = (bytes + alignment - 1) / alignment * alignment;
    void* block = std::aligned_alloc(alignment, rounded);
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    // Only advice: where the system declines, the block keeps its normal pages.
    if (block && alignment == kHugePageSize)
        madvise(block, rounded, MADV_HUGEPAGE);
#endif
    return block;
}

void FreeLargeArray(void* block) { std::free(block); }

// ---- TDIBRaster --------------------------------------------------------------------

TDIBRaster::TDIBRaster(int32_t width, int32_t height)
{
    MakeEven(width, height);
    if (width < 0 || height < 0 || width > kMaxSide || height > kMaxSide || int64_t(width) * height > kMaxPixels)
        throw EGraphicException("TDIBRaster.Create : Cannot create a raster of " + std::to_string(width) + " x " +
                                std::to_string(height) + " pixels");
    width_ = width;
    height_ = height;
    const size_t bytes = size_t(width) * size_t(height) * sizeof(TPixel);
    if (bytes > 0) {
        bits_ = static_cast<TPixel*>(AllocateLargeArray(bytes));
        if (!bits_)
            throw EGraphicException("TDIBRaster.Create : Out of memory for a raster of " + std::to_string(width) +
                                    " x " + std::to_string(height) + " pixels");
        std::memset(bits_, 0, bytes);
        image_ = std::make_unique<QImage>(reinterpret_cast<uchar*>(bits_), width, height,
                                          qsizetype(width) * qsizetype(sizeof(TPixel)), QImage::Format_RGB32);
    } else {
        image_ = std::make_unique<QImage>();
    }
}

TDIBRaster::~TDIBRaster()
{
    canvas_.reset(); // ends painting before the memory goes
    image_.reset();
    FreeLargeArray(bits_);
}

const QImage& TDIBRaster::Image() const { return *image_; }

TCanvas& TDIBRaster::Canvas()
{
    if (!canvas_)
        canvas_ = std::make_unique<TCanvas>(*image_);
    return *canvas_;
}

void TDIBRaster::CopyToDevice(QPainter& dc, int32_t srcX, int32_t srcY, int32_t destX, int32_t destY, int32_t width,
                              int32_t height) const
{
    if (image_->isNull())
        return;
    dc.drawImage(QPoint(destX, destY), *image_, QRect(srcX, srcY, width, height));
}

void TDIBRaster::StretchToDevice(QPainter& dc, int32_t srcX, int32_t srcY, int32_t srcWidth, int32_t srcHeight,
                                 int32_t destX, int32_t destY, int32_t destWidth, int32_t destHeight,
                                 int32_t mode) const
{
    if (image_->isNull())
        return;
    // Colour-on-colour (3) and the other dropping modes take the nearest pixel; only the
    // halftone mode (4) blends.
    const bool blend = mode == 4;
    const bool saved = dc.testRenderHint(QPainter::SmoothPixmapTransform);
    dc.setRenderHint(QPainter::SmoothPixmapTransform, blend);
    dc.drawImage(QRect(destX, destY, destWidth, destHeight), *image_, QRect(srcX, srcY, srcWidth, srcHeight));
    dc.setRenderHint(QPainter::SmoothPixmapTransform, saved);
}

void FadePixels(TPixel* bits, int64_t count, uint8_t level)
{
    if (level > 8)
        level = 8; // the channel formulas hold for 0 .. 8 only
    if (HasMMX)
        FadePacked(bits, count, level);
    else
        FadePlain(bits, count, level);
}

void TDIBRaster::Fade(uint8_t level) { FadePixels(bits_, PixelCount(), level); }

void TDIBRaster::ScrollLeft(int32_t n)
{
    if (n <= 0 || n > width_)
        return;
    for (int32_t y = 0; y < height_; ++y) {
        TPixel* row = bits_ + int64_t(y) * width_;
        std::memmove(row, row + n, size_t(width_ - n) * sizeof(TPixel));
    }
}

void TDIBRaster::FillRect(TRect rect, TPixel color)
{
    if (width_ == 0 || height_ == 0)
        return;
    ClipRect(rect, TRect{0, 0, width_ - 1, height_ - 1});
    if (rect.Left > rect.Right)
        return;
    for (int32_t y = rect.Top; y <= rect.Bottom; ++y) {
        TPixel* row = bits_ + int64_t(y) * width_;
        std::fill(row + rect.Left, row + rect.Right + 1, color);
    }
}

// ---- shared operations -------------------------------------------------------------

std::unique_ptr<TDIBRaster> RasterFromGraphic(const QImage& picture)
{
    auto raster = std::make_unique<TDIBRaster>(picture.width(), picture.height());
    if (!picture.isNull())
        raster->Canvas().Draw(0, 0, picture);
    return raster;
}

int32_t ColorDistance(TPixel a, TPixel b)
{
    const int32_t dr = std::abs(int32_t((a >> 16) & 0xFF) - int32_t((b >> 16) & 0xFF));
    const int32_t dg = std::abs(int32_t((a >> 8) & 0xFF) - int32_t((b >> 8) & 0xFF));
    const int32_t db = std::abs(int32_t(a & 0xFF) - int32_t(b & 0xFF));
    return std::max({dr, dg, db});
}

int32_t Lerp(int32_t a, int32_t b, float t) { return TruncToInt(float(int64_t(b) - a) * t + float(a)); }

void MakeEven(int32_t& a, int32_t& b)
{
    // Widened so that the largest odd value does not overflow.
    auto even = [](int32_t v) { return int32_t(std::clamp<int64_t>(int64_t(v) + v % 2, INT32_MIN, INT32_MAX)); };
    a = even(a);
    b = even(b);
}

void ClipRect(TRect& r, const TRect& bounds)
{
    r.Left = std::clamp(r.Left, bounds.Left, bounds.Right);
    r.Right = std::clamp(r.Right, bounds.Left, bounds.Right);
    r.Top = std::clamp(r.Top, bounds.Top, bounds.Bottom);
    r.Bottom = std::clamp(r.Bottom, bounds.Top, bounds.Bottom);
}
