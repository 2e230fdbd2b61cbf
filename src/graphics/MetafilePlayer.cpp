// Long unit: the two metafile formats share the record reader and the drawing helpers, and
// each format's records are dispatched by one switch that reads best as a whole.
#include "graphics/MetafilePlayer.h"

#include "graphics/BitmapDecoder.h"
#include "graphics/MetafileCanvas.h"
#include "util/LittleEndian.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

using namespace Gdi;

namespace {

[[noreturn]] void Fail(const std::string& text) { throw EMetafileError("MetafilePlayer.PlayMetafile : " + text); }

std::string Hex(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", value);
    return text;
}

// One record's bytes; every read is checked against them.
class TRecord {
public:
    TRecord(std::span<const uint8_t> bytes, uint32_t type) : bytes_(bytes), type_(type) {}

    uint32_t Type() const { return type_; }
    size_t Size() const { return bytes_.size(); }
    uint16_t U16(size_t offset) const { return LoadU16(At(offset, 2)); }
    int16_t I16(size_t offset) const { return LoadI16(At(offset, 2)); }
    uint32_t U32(size_t offset) const { return LoadU32(At(offset, 4)); }
    int32_t I32(size_t offset) const { return LoadI32(At(offset, 4)); }
    uint8_t U8(size_t offset) const { return *At(offset, 1); }
    float Float(size_t offset) const
    {
        float value;
        std::memcpy(&value, At(offset, 4), 4);
        return value;
    }
    std::span<const uint8_t> Bytes(uint64_t offset, uint64_t count) const { return {At(offset, count), size_t(count)}; }
    // The bytes from `offset` to the end of the record.
    std::span<const uint8_t> Rest(size_t offset) const { return Bytes(offset, offset <= Size() ? Size() - offset : 1); }

private:
    const uint8_t* At(uint64_t offset, uint64_t count) const
    {
        if (offset > bytes_.size() || count > bytes_.size() - offset)
            Fail("The record of type " + Hex(type_) + " is damaged");
        return bytes_.data() + offset;
    }

    std::span<const uint8_t> bytes_;
    uint32_t type_;
};

QPolygonF ReadPoints(const TRecord& record, size_t offset, uint64_t count, bool shortPoints)
{
    const size_t pointSize = shortPoints ? 4 : 8;
    const std::span<const uint8_t> bytes = record.Bytes(offset, count * pointSize);
    QPolygonF points;
    points.reserve(qsizetype(count));
    for (const uint8_t* p = bytes.data(); p != bytes.data() + bytes.size(); p += pointSize)
        points.append(shortPoints ? QPointF(LoadI16(p), LoadI16(p + 2)) : QPointF(LoadI32(p), LoadI32(p + 4)));
    return points;
}

// `polygons` point counts of `countSize` bytes at `offset`, the points right after them.
std::vector<QPolygonF> ReadPolyPolygon(const TRecord& record, size_t offset, uint64_t polygons, size_t countSize,
                                       bool shortPoints)
{
    const std::span<const uint8_t> counts = record.Bytes(offset, polygons * countSize);
    uint64_t total = 0;
    for (const uint8_t* p = counts.data(); p != counts.data() + counts.size(); p += countSize)
        total += countSize == 2 ? LoadU16(p) : LoadU32(p);
    const QPolygonF points = ReadPoints(record, offset + counts.size(), total, shortPoints);
    std::vector<QPolygonF> result;
    qsizetype first = 0;
    for (const uint8_t* p = counts.data(); p != counts.data() + counts.size(); p += countSize) {
        const qsizetype count = countSize == 2 ? LoadU16(p) : LoadU32(p);
        if (count >= 2)
            result.push_back(points.mid(first, count));
        first += count;
    }
    return result;
}

QRectF Box(double left, double top, double right, double bottom)
{
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

// Source rows of a bottom-up bitmap are counted from its bottom.
bool BottomUp(std::span<const uint8_t> info)
{
    if (info.size() < 12)
        return true;
    return LoadU32(info.data()) == 12 || LoadI32(info.data() + 8) > 0;
}

void DrawDib(TMetafileCanvas& canvas, const QImage& picture, bool bottomUp, const QRectF& destination, double xSrc,
             double ySrc, double srcWidth, double srcHeight, uint32_t rasterOp)
{
    const double top = bottomUp ? picture.height() - ySrc - srcHeight : ySrc;
    canvas.DrawBitmap(picture, destination, QRectF(xSrc, top, srcWidth, srcHeight), rasterOp);
}

void DrawPackedDib(TMetafileCanvas& canvas, std::span<const uint8_t> dib, const QRectF& destination, double xSrc,
                   double ySrc, double srcWidth, double srcHeight, uint32_t rasterOp)
{
    DrawDib(canvas, DecodePackedDib(dib), BottomUp(dib), destination, xSrc, ySrc, srcWidth, srcHeight, rasterOp);
}

constexpr uint32_t DIB_PAL_COLORS = 1;

// ---- Windows metafiles -------------------------------------------------------------

constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr size_t kPlaceableSize = 22;
constexpr size_t kWmfHeaderSize = 18;
constexpr size_t kWmfParams = 6; // record size (4 bytes) and function (2 bytes)

enum : uint16_t {
    META_EOF = 0x0000,
    META_SAVEDC = 0x001E,
    META_CREATEPALETTE = 0x00F7,
    META_SETBKMODE = 0x0102,
    META_SETPOLYFILLMODE = 0x0106,
    META_RESTOREDC = 0x0127,
    META_SELECTOBJECT = 0x012D,
    META_SETTEXTALIGN = 0x012E,
    META_DIBCREATEPATTERNBRUSH = 0x0142,
    META_DELETEOBJECT = 0x01F0,
    META_CREATEPATTERNBRUSH = 0x01F9,
    META_SETBKCOLOR = 0x0201,
    META_SETTEXTCOLOR = 0x0209,
    META_SETWINDOWORG = 0x020B,
    META_SETWINDOWEXT = 0x020C,
    META_LINETO = 0x0213,
    META_MOVETO = 0x0214,
    META_CREATEPENINDIRECT = 0x02FA,
    META_CREATEFONTINDIRECT = 0x02FB,
    META_CREATEBRUSHINDIRECT = 0x02FC,
    META_POLYGON = 0x0324,
    META_POLYLINE = 0x0325,
    META_ELLIPSE = 0x0418,
    META_RECTANGLE = 0x041B,
    META_TEXTOUT = 0x0521,
    META_POLYPOLYGON = 0x0538,
    META_ROUNDRECT = 0x061C,
    META_CREATEREGION = 0x06FF,
    META_DIBBITBLT = 0x0940,
    META_EXTTEXTOUT = 0x0A32,
    META_DIBSTRETCHBLT = 0x0B41,
    META_STRETCHDIB = 0x0F43,
};

// Texts and face names of Windows metafiles are in the Western code page.
QString FromWindowsCodePage(std::span<const uint8_t> bytes)
{
    static constexpr char16_t kHighControls[32] = {
        0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
    QString text;
    text.reserve(qsizetype(bytes.size()));
    for (uint8_t b : bytes)
        text.append(QChar(b >= 0x80 && b < 0xA0 ? kHighControls[b - 0x80] : char16_t(b)));
    return text;
}

QString FaceName(std::span<const uint8_t> bytes, bool wide)
{
    const size_t unit = wide ? 2 : 1;
    size_t length = 0;
    while (length + unit <= bytes.size() && (wide ? LoadU16(bytes.data() + length) : bytes[length]) != 0)
        length += unit;
    if (!wide)
        return FromWindowsCodePage(bytes.first(length));
    QString face;
    for (size_t i = 0; i < length; i += 2)
        face.append(QChar(char16_t(LoadU16(bytes.data() + i))));
    return face;
}

// Visits the records from `offset` to `end` up to the end record.
template <class Visit>
void ForEachWmfRecord(std::span<const uint8_t> data, size_t offset, size_t end, Visit visit)
{
    while (offset < end) {
        if (end - offset < kWmfParams)
            Fail("The last record is truncated");
        const uint64_t bytes = uint64_t(LoadU32(data.data() + offset)) * 2;
        const uint16_t function = LoadU16(data.data() + offset + 4);
        if (bytes < kWmfParams || bytes > end - offset)
            Fail("The length of a record of type " + Hex(function) + " is damaged");
        if (function == META_EOF)
            return;
        if (!visit(TRecord(data.subspan(offset, size_t(bytes)), function)))
            return;
        offset += size_t(bytes);
    }
}

void PlayWmfRecord(TMetafileCanvas& canvas, const TRecord& r)
{
    constexpr size_t p = kWmfParams;
    // Parameters are stored last first: y before x, bottom-right before top-left.
    auto point = [&](size_t at) { return QPointF(r.I16(at + 2), r.I16(at)); };
    auto box = [&](size_t at) { return Box(r.I16(at + 6), r.I16(at + 4), r.I16(at + 2), r.I16(at)); };
    switch (r.Type()) {
    case META_SAVEDC:
        canvas.SaveDC();
        break;
    case META_RESTOREDC:
        canvas.RestoreDC(r.I16(p));
        break;
    case META_SETBKMODE:
        canvas.SetBkMode(r.U16(p));
        break;
    case META_SETPOLYFILLMODE:
        canvas.SetPolyFillMode(r.U16(p));
        break;
    case META_SETTEXTALIGN:
        canvas.SetTextAlign(r.U16(p));
        break;
    case META_SETBKCOLOR:
        canvas.SetBkColor(r.U32(p));
        break;
    case META_SETTEXTCOLOR:
        canvas.SetTextColor(r.U32(p));
        break;
    case META_SETWINDOWORG:
        canvas.SetWindowOrg(point(p));
        break;
    case META_SETWINDOWEXT: {
        const QPointF extent = point(p);
        canvas.SetWindowExt(QSizeF(extent.x(), extent.y()));
        break;
    }
    case META_MOVETO:
        canvas.MoveTo(point(p));
        break;
    case META_LINETO:
        canvas.LineTo(point(p));
        break;
    case META_CREATEPENINDIRECT:
        canvas.AddObject(TGdiPen{r.U16(p), r.I16(p + 2), r.U32(p + 6)});
        break;
    case META_CREATEBRUSHINDIRECT:
        canvas.AddObject(TGdiBrush{r.U16(p), r.U32(p + 2), r.U16(p + 6)});
        break;
    case META_CREATEFONTINDIRECT: {
        TGdiFont font;
        font.Height = r.I16(p);
        font.Escapement = r.I16(p + 4);
        font.Weight = r.I16(p + 8);
        font.Italic = r.U8(p + 10) != 0;
        font.Underline = r.U8(p + 11) != 0;
        font.StrikeOut = r.U8(p + 12) != 0;
        const std::span<const uint8_t> face = r.Rest(p + 18);
        font.Face = FaceName(face.first(std::min<size_t>(face.size(), 32)), false);
        canvas.AddObject(font);
        break;
    }
    case META_CREATEPALETTE:
    case META_CREATEPATTERNBRUSH:
    case META_DIBCREATEPATTERNBRUSH:
    case META_CREATEREGION:
        canvas.AddObject(std::monostate{});
        break;
    case META_SELECTOBJECT:
        canvas.SelectObject(r.U16(p));
        break;
    case META_DELETEOBJECT:
        canvas.DeleteObject(r.U16(p));
        break;
    case META_POLYGON:
    case META_POLYLINE: {
        const QPolygonF points = ReadPoints(r, p + 2, r.U16(p), true);
        if (r.Type() == META_POLYGON)
            canvas.Polygon(points);
        else
            canvas.Polyline(points);
        break;
    }
    case META_POLYPOLYGON:
        canvas.PolyPolygon(ReadPolyPolygon(r, p + 2, r.U16(p), 2, true));
        break;
    case META_RECTANGLE:
        canvas.Rectangle(box(p));
        break;
    case META_ELLIPSE:
        canvas.Ellipse(box(p));
        break;
    case META_ROUNDRECT:
        canvas.RoundRect(box(p + 4), QSizeF(r.I16(p + 2), r.I16(p)));
        break;
    case META_TEXTOUT: {
        const size_t length = r.U16(p);
        const size_t after = p + 2 + (length + 1) / 2 * 2;
        canvas.TextOut(point(after), FromWindowsCodePage(r.Bytes(p + 2, length)));
        break;
    }
    case META_EXTTEXTOUT: {
        const size_t length = r.U16(p + 4);
        const uint32_t options = r.U16(p + 6);
        const bool hasBox = options & (ETO_OPAQUE | ETO_CLIPPED);
        const QRectF clip = hasBox ? Box(r.I16(p + 8), r.I16(p + 10), r.I16(p + 12), r.I16(p + 14)) : QRectF();
        const QString text = FromWindowsCodePage(r.Bytes(p + (hasBox ? 16 : 8), length));
        canvas.TextOut(point(p), text, options, clip);
        break;
    }
    case META_DIBBITBLT:
        // The form without a bitmap fills with the brush; it is not played.
        if (r.Size() > p + 18) {
            const double width = r.I16(p + 10), height = r.I16(p + 8);
            DrawPackedDib(canvas, r.Rest(p + 16), QRectF(point(p + 12), QSizeF(width, height)), r.I16(p + 6),
                          r.I16(p + 4), width, height, r.U32(p));
        }
        break;
    case META_DIBSTRETCHBLT:
        if (r.Size() > p + 22)
            DrawPackedDib(canvas, r.Rest(p + 20), QRectF(point(p + 16), QSizeF(r.I16(p + 14), r.I16(p + 12))),
                          r.I16(p + 10), r.I16(p + 8), r.I16(p + 6), r.I16(p + 4), r.U32(p));
        break;
    case META_STRETCHDIB:
        if (r.U16(p + 4) != DIB_PAL_COLORS)
            DrawPackedDib(canvas, r.Rest(p + 22), QRectF(point(p + 18), QSizeF(r.I16(p + 16), r.I16(p + 14))),
                          r.I16(p + 12), r.I16(p + 10), r.I16(p + 8), r.I16(p + 6), r.U32(p));
        break;
    default:
        break;
    }
}

QImage NewPicture(int64_t width, int64_t height)
{
    if (!PictureSizeAllowed(width, height))
        Fail(RefusedPictureSize(width, height));
    QImage picture(int(width), int(height), QImage::Format_RGB32);
    if (picture.isNull())
        Fail("Out of memory for the picture");
    picture.fill(Qt::black);
    return picture;
}

QImage PlayWindowsMetafile(std::span<const uint8_t> data)
{
    const bool placeable = data.size() >= kPlaceableSize && LoadU32(data.data()) == kPlaceableKey;
    const size_t start = placeable ? kPlaceableSize : 0;
    if (data.size() - start < kWmfHeaderSize)
        Fail("The header is truncated");
    const uint8_t* header = data.data() + start;
    const uint64_t bytes = uint64_t(LoadU32(header + 6)) * 2;
    if (LoadU16(header + 2) != kWmfHeaderSize / 2 || bytes < kWmfHeaderSize)
        Fail("The header is damaged");
    if (bytes > data.size() - start)
        Fail("The metafile is truncated");
    const size_t first = start + kWmfHeaderSize, end = start + size_t(bytes);

    // Logical units map onto the whole picture through the window, which starts as the
    // placeable header's bounding box; the records may move it.
    QRectF window;
    int64_t width, height;
    if (placeable) {
        const int64_t left = LoadI16(data.data() + 6), top = LoadI16(data.data() + 8);
        const int64_t right = LoadI16(data.data() + 10), bottom = LoadI16(data.data() + 12);
        const int64_t unitsPerInch = LoadU16(data.data() + 14);
        if (unitsPerInch == 0)
            Fail("The placeable header is damaged");
        window = Box(double(left), double(top), double(right), double(bottom));
        width = (std::abs(right - left) * 96 + unitsPerInch / 2) / unitsPerInch;
        height = (std::abs(bottom - top) * 96 + unitsPerInch / 2) / unitsPerInch;
    } else {
        std::optional<QSize> extent;
        ForEachWmfRecord(data, first, end, [&](const TRecord& r) {
            if (r.Type() == META_SETWINDOWEXT)
                extent = QSize(r.I16(kWmfParams + 2), r.I16(kWmfParams));
            return !extent;
        });
        if (!extent)
            Fail("The metafile has neither a placeable header nor a window extent");
        window = QRectF(QPointF(0, 0), QSizeF(*extent));
        width = std::abs(extent->width());
        height = std::abs(extent->height());
    }

    QImage picture = NewPicture(width, height);
    {
        TMetafileCanvas canvas(picture, QTransform());
        canvas.SetMapMode(MM_ANISOTROPIC);
        canvas.SetViewportExt(QSizeF(double(width), double(height)));
        canvas.SetWindowOrg(window.topLeft());
        canvas.SetWindowExt(window.size());
        ForEachWmfRecord(data, first, end, [&](const TRecord& r) {
            PlayWmfRecord(canvas, r);
            return true;
        });
    }
    return picture;
}

// ---- enhanced metafiles ------------------------------------------------------------

constexpr uint32_t kEmfSignature = 0x464D4520; // " EMF"
constexpr size_t kEmfHeaderSize = 88;
constexpr uint32_t kStockObject = 0x80000000;

enum : uint32_t {
    EMR_HEADER = 1,
    EMR_POLYBEZIER = 2,
    EMR_POLYGON = 3,
    EMR_POLYLINE = 4,
    EMR_POLYBEZIERTO = 5,
    EMR_POLYLINETO = 6,
    EMR_POLYPOLYLINE = 7,
    EMR_POLYPOLYGON = 8,
    EMR_SETWINDOWEXTEX = 9,
    EMR_SETWINDOWORGEX = 10,
    EMR_SETVIEWPORTEXTEX = 11,
    EMR_SETVIEWPORTORGEX = 12,
    EMR_EOF = 14,
    EMR_SETMAPMODE = 17,
    EMR_SETBKMODE = 18,
    EMR_SETPOLYFILLMODE = 19,
    EMR_SETTEXTALIGN = 22,
    EMR_SETTEXTCOLOR = 24,
    EMR_SETBKCOLOR = 25,
    EMR_MOVETOEX = 27,
    EMR_SAVEDC = 33,
    EMR_RESTOREDC = 34,
    EMR_SETWORLDTRANSFORM = 35,
    EMR_MODIFYWORLDTRANSFORM = 36,
    EMR_SELECTOBJECT = 37,
    EMR_CREATEPEN = 38,
    EMR_CREATEBRUSHINDIRECT = 39,
    EMR_DELETEOBJECT = 40,
    EMR_ELLIPSE = 42,
    EMR_RECTANGLE = 43,
    EMR_ROUNDRECT = 44,
    EMR_CREATEPALETTE = 49,
    EMR_LINETO = 54,
    EMR_BEGINPATH = 59,
    EMR_ENDPATH = 60,
    EMR_FILLPATH = 62,
    EMR_STROKEANDFILLPATH = 63,
    EMR_STROKEPATH = 64,
    EMR_ABORTPATH = 68,
    EMR_BITBLT = 76,
    EMR_STRETCHBLT = 77,
    EMR_STRETCHDIBITS = 81,
    EMR_EXTCREATEFONTINDIRECTW = 82,
    EMR_EXTTEXTOUTW = 84,
    EMR_POLYBEZIER16 = 85,
    EMR_POLYGON16 = 86,
    EMR_POLYLINE16 = 87,
    EMR_POLYBEZIERTO16 = 88,
    EMR_POLYLINETO16 = 89,
    EMR_POLYPOLYLINE16 = 90,
    EMR_POLYPOLYGON16 = 91,
    EMR_CREATEMONOBRUSH = 93,
    EMR_CREATEDIBPATTERNBRUSHPT = 94,
    EMR_EXTCREATEPEN = 95,
};

std::optional<QTransform> ReadTransform(const TRecord& r, size_t at)
{
    const float m[6] = {r.Float(at), r.Float(at + 4), r.Float(at + 8), r.Float(at + 12), r.Float(at + 16),
                        r.Float(at + 20)};
    for (float v : m)
        if (!std::isfinite(v))
            return std::nullopt;
    return QTransform(m[0], m[1], m[2], m[3], m[4], m[5]);
}

// The bitmap of a bit-block transfer record: header at offsets `at`, `at` + 4, pixels at
// `at` + 8, `at` + 12 (offsets from the record's start and sizes).
void DrawEmfBitmap(TMetafileCanvas& canvas, const TRecord& r, size_t at, const QRectF& destination, double xSrc,
                   double ySrc, double srcWidth, double srcHeight, uint32_t usage, uint32_t rasterOp)
{
    const uint32_t infoSize = r.U32(at + 4);
    if (infoSize == 0 || usage == DIB_PAL_COLORS)
        return; // a fill with the brush, or colours from a palette we do not keep
    const std::span<const uint8_t> info = r.Bytes(r.U32(at), infoSize);
    DrawDib(canvas, DecodeDib(info, r.Bytes(r.U32(at + 8), r.U32(at + 12))), BottomUp(info), destination, xSrc, ySrc,
            srcWidth, srcHeight, rasterOp);
}

void PlayEmfPoly(TMetafileCanvas& canvas, const TRecord& r, bool shortPoints)
{
    const QPolygonF points = ReadPoints(r, 28, r.U32(24), shortPoints);
    switch (r.Type()) {
    case EMR_POLYBEZIER:
    case EMR_POLYBEZIER16:
        canvas.PolyBezier(points);
        break;
    case EMR_POLYGON:
    case EMR_POLYGON16:
        canvas.Polygon(points);
        break;
    case EMR_POLYLINE:
    case EMR_POLYLINE16:
        canvas.Polyline(points);
        break;
    case EMR_POLYBEZIERTO:
    case EMR_POLYBEZIERTO16:
        canvas.PolyBezierTo(points);
        break;
    default:
        canvas.PolylineTo(points);
        break;
    }
}

void PlayEmfRecord(TMetafileCanvas& canvas, const TRecord& r)
{
    auto point = [&](size_t at) { return QPointF(r.I32(at), r.I32(at + 4)); };
    auto size = [&](size_t at) { return QSizeF(r.I32(at), r.I32(at + 4)); };
    auto box = [&](size_t at) { return Box(r.I32(at), r.I32(at + 4), r.I32(at + 8), r.I32(at + 12)); };
    switch (r.Type()) {
    case EMR_SETWINDOWEXTEX:
        canvas.SetWindowExt(size(8));
        break;
    case EMR_SETWINDOWORGEX:
        canvas.SetWindowOrg(point(8));
        break;
    case EMR_SETVIEWPORTEXTEX:
        canvas.SetViewportExt(size(8));
        break;
    case EMR_SETVIEWPORTORGEX:
        canvas.SetViewportOrg(point(8));
        break;
    case EMR_SETMAPMODE:
        canvas.SetMapMode(r.U32(8));
        break;
    case EMR_SETBKMODE:
        canvas.SetBkMode(r.U32(8));
        break;
    case EMR_SETPOLYFILLMODE:
        canvas.SetPolyFillMode(r.U32(8));
        break;
    case EMR_SETTEXTALIGN:
        canvas.SetTextAlign(r.U32(8));
        break;
    case EMR_SETTEXTCOLOR:
        canvas.SetTextColor(r.U32(8));
        break;
    case EMR_SETBKCOLOR:
        canvas.SetBkColor(r.U32(8));
        break;
    case EMR_MOVETOEX:
        canvas.MoveTo(point(8));
        break;
    case EMR_LINETO:
        canvas.LineTo(point(8));
        break;
    case EMR_SAVEDC:
        canvas.SaveDC();
        break;
    case EMR_RESTOREDC:
        canvas.RestoreDC(r.I32(8));
        break;
    case EMR_SETWORLDTRANSFORM:
        if (const auto transform = ReadTransform(r, 8))
            canvas.SetWorldTransform(*transform);
        break;
    case EMR_MODIFYWORLDTRANSFORM:
        if (const auto transform = ReadTransform(r, 8))
            canvas.ModifyWorldTransform(*transform, r.U32(32));
        break;
    case EMR_SELECTOBJECT: {
        const uint32_t index = r.U32(8);
        if (index & kStockObject)
            canvas.SelectStockObject(index & ~kStockObject);
        else
            canvas.SelectObject(index);
        break;
    }
    case EMR_DELETEOBJECT:
        canvas.DeleteObject(r.U32(8));
        break;
    case EMR_CREATEPEN:
        canvas.PutObject(r.U32(8), TGdiPen{r.U32(12), r.I32(16), r.U32(24)});
        break;
    case EMR_EXTCREATEPEN: {
        constexpr uint32_t kGeometric = 0x00010000;
        const uint32_t style = r.U32(28);
        const bool hollow = r.U32(36) == BS_NULL;
        const int32_t width = style & kGeometric ? int32_t(std::min<uint32_t>(r.U32(32), INT32_MAX)) : 0;
        canvas.PutObject(r.U32(8), TGdiPen{hollow ? uint32_t(PS_NULL) : style, width, r.U32(40)});
        break;
    }
    case EMR_CREATEBRUSHINDIRECT:
        canvas.PutObject(r.U32(8), TGdiBrush{r.U32(12), r.U32(16), r.U32(20)});
        break;
    case EMR_EXTCREATEFONTINDIRECTW: {
        TGdiFont font;
        font.Height = r.I32(12);
        font.Escapement = r.I32(20);
        font.Weight = r.I32(28);
        font.Italic = r.U8(32) != 0;
        font.Underline = r.U8(33) != 0;
        font.StrikeOut = r.U8(34) != 0;
        font.Face = FaceName(r.Bytes(40, 64), true);
        canvas.PutObject(r.U32(8), font);
        break;
    }
    case EMR_CREATEPALETTE:
    case EMR_CREATEMONOBRUSH:
    case EMR_CREATEDIBPATTERNBRUSHPT:
        canvas.PutObject(r.U32(8), std::monostate{});
        break;
    case EMR_RECTANGLE:
        canvas.Rectangle(box(8));
        break;
    case EMR_ELLIPSE:
        canvas.Ellipse(box(8));
        break;
    case EMR_ROUNDRECT:
        canvas.RoundRect(box(8), size(24));
        break;
    case EMR_POLYBEZIER:
    case EMR_POLYGON:
    case EMR_POLYLINE:
    case EMR_POLYBEZIERTO:
    case EMR_POLYLINETO:
        PlayEmfPoly(canvas, r, false);
        break;
    case EMR_POLYBEZIER16:
    case EMR_POLYGON16:
    case EMR_POLYLINE16:
    case EMR_POLYBEZIERTO16:
    case EMR_POLYLINETO16:
        PlayEmfPoly(canvas, r, true);
        break;
    case EMR_POLYPOLYGON:
    case EMR_POLYPOLYGON16:
        canvas.PolyPolygon(ReadPolyPolygon(r, 32, r.U32(24), 4, r.Type() == EMR_POLYPOLYGON16));
        break;
    case EMR_POLYPOLYLINE:
    case EMR_POLYPOLYLINE16:
        canvas.PolyPolyline(ReadPolyPolygon(r, 32, r.U32(24), 4, r.Type() == EMR_POLYPOLYLINE16));
        break;
    case EMR_BEGINPATH:
        canvas.BeginPath();
        break;
    case EMR_ENDPATH:
        canvas.EndPath();
        break;
    case EMR_ABORTPATH:
        canvas.AbortPath();
        break;
    case EMR_FILLPATH:
        canvas.FillPath();
        break;
    case EMR_STROKEPATH:
        canvas.StrokePath();
        break;
    case EMR_STROKEANDFILLPATH:
        canvas.StrokeAndFillPath();
        break;
    case EMR_EXTTEXTOUTW: {
        const std::span<const uint8_t> chars = r.Bytes(r.U32(48), uint64_t(r.U32(44)) * 2);
        QString text;
        text.reserve(qsizetype(chars.size() / 2));
        for (size_t i = 0; i < chars.size(); i += 2)
            text.append(QChar(char16_t(LoadU16(chars.data() + i))));
        canvas.TextOut(point(36), text, r.U32(52), box(56));
        break;
    }
    case EMR_STRETCHDIBITS:
        DrawEmfBitmap(canvas, r, 48, QRectF(point(24), size(72)), r.I32(32), r.I32(36), r.I32(40), r.I32(44),
                      r.U32(64), r.U32(68));
        break;
    case EMR_BITBLT:
    case EMR_STRETCHBLT: {
        const QSizeF destination = size(32);
        const QSizeF source = r.Type() == EMR_STRETCHBLT ? size(100) : destination;
        DrawEmfBitmap(canvas, r, 84, QRectF(point(24), destination), r.I32(44), r.I32(48), source.width(),
                      source.height(), r.U32(80), r.U32(40));
        break;
    }
    default:
        break;
    }
}

// Maps the recording device's pixels onto the picture and gives the picture's size.
struct TEmfFrame {
    int64_t Width = 0;
    int64_t Height = 0;
    QTransform DeviceToPicture;
};

TEmfFrame FrameOf(const TRecord& header)
{
    constexpr int64_t kPixelsPerInch = 96;
    constexpr int64_t kHundredthsOfMmPerInch = 2540;
    const int64_t frameLeft = header.I32(24), frameTop = header.I32(28);
    const int64_t frameWidth = int64_t(header.I32(32)) - frameLeft, frameHeight = int64_t(header.I32(36)) - frameTop;
    const int64_t deviceWidth = header.I32(72), deviceHeight = header.I32(76);
    const int64_t mmWidth = header.I32(80), mmHeight = header.I32(84);
    TEmfFrame frame;
    if (frameWidth > 0 && frameHeight > 0 && deviceWidth > 0 && deviceHeight > 0 && mmWidth > 0 && mmHeight > 0) {
        // The frame is in hundredths of a millimetre of the recording device.
        frame.Width = std::max<int64_t>(1, (frameWidth * kPixelsPerInch + 1270) / kHundredthsOfMmPerInch);
        frame.Height = std::max<int64_t>(1, (frameHeight * kPixelsPerInch + 1270) / kHundredthsOfMmPerInch);
        const double devicePerHundredthX = double(deviceWidth) / double(mmWidth * 100);
        const double devicePerHundredthY = double(deviceHeight) / double(mmHeight * 100);
        frame.DeviceToPicture = QTransform::fromTranslate(-frameLeft * devicePerHundredthX,
                                                          -frameTop * devicePerHundredthY) *
                                QTransform::fromScale(double(frame.Width) / (frameWidth * devicePerHundredthX),
                                                      double(frame.Height) / (frameHeight * devicePerHundredthY));
        return frame;
    }
    // No usable frame: the bounds, inclusive and in device pixels.
    const int64_t left = header.I32(8), top = header.I32(12);
    frame.Width = int64_t(header.I32(16)) - left + 1;
    frame.Height = int64_t(header.I32(20)) - top + 1;
    frame.DeviceToPicture = QTransform::fromTranslate(double(-left), double(-top));
    return frame;
}

QImage PlayEnhancedMetafile(std::span<const uint8_t> data)
{
    const uint32_t headerBytes = LoadU32(data.data() + 4);
    if (headerBytes < kEmfHeaderSize || headerBytes > data.size())
        Fail("The header is damaged");
    const TRecord header(data.first(headerBytes), EMR_HEADER);
    const uint64_t end = header.U32(48);
    if (end < header.Size())
        Fail("The header is damaged");
    if (end > data.size())
        Fail("The metafile is truncated");

    const TEmfFrame frame = FrameOf(header);
    QImage picture = NewPicture(frame.Width, frame.Height);
    {
        TMetafileCanvas canvas(picture, frame.DeviceToPicture);
        for (size_t offset = header.Size(); offset < end;) {
            if (end - offset < 8)
                Fail("The last record is truncated");
            const uint32_t type = LoadU32(data.data() + offset);
            const uint32_t bytes = LoadU32(data.data() + offset + 4);
            if (bytes < 8 || bytes > end - offset)
                Fail("The length of a record of type " + Hex(type) + " is damaged");
            if (type == EMR_EOF)
                break;
            PlayEmfRecord(canvas, TRecord(data.subspan(offset, bytes), type));
            offset += bytes;
        }
    }
    return picture;
}

bool IsEnhancedMetafile(std::span<const uint8_t> data)
{
    return data.size() >= kEmfHeaderSize && LoadU32(data.data()) == EMR_HEADER &&
           LoadU32(data.data() + 40) == kEmfSignature;
}

bool IsWindowsMetafile(std::span<const uint8_t> data)
{
    if (data.size() >= kPlaceableSize && LoadU32(data.data()) == kPlaceableKey)
        return true;
    // The header of a memory (1) or disk (2) metafile of nine words.
    return data.size() >= kWmfHeaderSize && (LoadU16(data.data()) == 1 || LoadU16(data.data()) == 2) &&
           LoadU16(data.data() + 2) == kWmfHeaderSize / 2;
}

} // namespace

QImage PlayMetafile(std::span<const uint8_t> data)
{
    if (IsEnhancedMetafile(data))
        return PlayEnhancedMetafile(data);
    if (IsWindowsMetafile(data))
        return PlayWindowsMetafile(data);
    Fail("Not a metafile");
}
