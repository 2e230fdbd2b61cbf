#pragma once
// The drawing state of a metafile's playback, as the platform's graphics interface keeps
// it (object table, selected pen, brush and font, colours and modes, window and viewport
// mapping, world transform, current position, saved states, an open path), and the
// drawing operations of the records, painted onto a picture.
//
// Coordinates are the records' logical units. Colours are platform colours 0x00BBGGRR.

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRectF>
#include <QString>
#include <QTransform>

#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

// Constants of the platform's graphics interface, as metafiles store them.
namespace Gdi {
enum : uint32_t {
    PS_SOLID = 0, PS_DASH = 1, PS_DOT = 2, PS_DASHDOT = 3, PS_DASHDOTDOT = 4, PS_NULL = 5, PS_STYLE_MASK = 0xF,
    BS_SOLID = 0, BS_NULL = 1, BS_HATCHED = 2,
    HS_HORIZONTAL = 0, HS_VERTICAL = 1, HS_FDIAGONAL = 2, HS_BDIAGONAL = 3, HS_CROSS = 4, HS_DIAGCROSS = 5,
    OPAQUE = 2, // background mode; 1 is transparent
    ALTERNATE = 1, WINDING = 2,
    TA_UPDATECP = 1, TA_RIGHT = 2, TA_CENTER = 6, TA_HORIZONTAL_MASK = 6,
    TA_BOTTOM = 8, TA_BASELINE = 24, TA_VERTICAL_MASK = 24,
    MM_TEXT = 1, MM_ISOTROPIC = 7, MM_ANISOTROPIC = 8,
    ETO_OPAQUE = 2, ETO_CLIPPED = 4,
    MWT_IDENTITY = 1, MWT_LEFTMULTIPLY = 2, MWT_RIGHTMULTIPLY = 3, MWT_SET = 4,
    SRCPAINT = 0x00EE0086, SRCAND = 0x008800C6, SRCINVERT = 0x00660046,
    NOTSRCCOPY = 0x00330008,
};
} // namespace Gdi

struct TGdiPen {
    uint32_t Style = Gdi::PS_SOLID;
    int32_t Width = 0; // logical units; 0 is one pixel
    uint32_t Color = 0;
};

struct TGdiBrush {
    uint32_t Style = Gdi::BS_SOLID;
    uint32_t Color = 0xFFFFFF;
    uint32_t Hatch = 0;
};

struct TGdiFont {
    int32_t Height = 0; // negative: character height; positive: cell height; 0: default
    int32_t Escapement = 0; // tenths of a degree, counter-clockwise
    int32_t Weight = 0;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
    QString Face;
};

// Objects the player does not draw with (palettes, regions, pattern brushes) still take
// their slot in the table, as an empty alternative.
using TGdiObject = std::variant<std::monostate, TGdiPen, TGdiBrush, TGdiFont>;

class TMetafileCanvas {
public:
    // `deviceToPicture` maps the metafile's device units onto the picture's pixels.
    TMetafileCanvas(QImage& target, const QTransform& deviceToPicture);

    // Object table. Add takes the lowest free slot; indexes above 65535 are ignored.
    void AddObject(const TGdiObject& object);
    void PutObject(uint32_t index, const TGdiObject& object);
    void SelectObject(uint32_t index);
    // WHITE_BRUSH (0) .. NULL_PEN (8), the fonts (10 .. 17), DC_BRUSH and DC_PEN.
    void SelectStockObject(uint32_t stock);
    void DeleteObject(uint32_t index);

    void SetTextColor(uint32_t color) { state_.TextColor = color; }
    void SetBkColor(uint32_t color) { state_.BkColor = color; }
    void SetBkMode(uint32_t mode) { state_.BkMode = mode; }
    void SetPolyFillMode(uint32_t mode) { state_.PolyFillMode = mode; }
    void SetTextAlign(uint32_t align) { state_.TextAlign = align; }
    void SetMapMode(uint32_t mode) { state_.MapMode = mode; }
    // Zero extents are refused, as the platform refuses them.
    void SetWindowOrg(QPointF origin) { state_.WindowOrg = origin; }
    void SetWindowExt(QSizeF extent);
    void SetViewportOrg(QPointF origin) { state_.ViewportOrg = origin; }
    void SetViewportExt(QSizeF extent);
    void SetWorldTransform(const QTransform& transform) { state_.World = transform; }
    void ModifyWorldTransform(const QTransform& transform, uint32_t mode);

    // False when the stack is too deep (the record is then refused).
    bool SaveDC();
    // Negative: relative to the latest save; positive: the instance number.
    void RestoreDC(int32_t which);

    void BeginPath();
    void EndPath() { pathClosed_ = recording_; recording_ = false; }
    void AbortPath() { recording_ = pathClosed_ = false; path_ = QPainterPath(); }
    void FillPath() { DrawClosedPath(false, true); }
    void StrokePath() { DrawClosedPath(true, false); }
    void StrokeAndFillPath() { DrawClosedPath(true, true); }

    void MoveTo(QPointF point);
    void LineTo(QPointF point);
    void Polyline(const QPolygonF& points);
    void PolylineTo(const QPolygonF& points);
    void PolyBezier(const QPolygonF& points);
    void PolyBezierTo(const QPolygonF& points);
    void Polygon(const QPolygonF& points);
    void PolyPolygon(const std::vector<QPolygonF>& polygons);
    void PolyPolyline(const std::vector<QPolygonF>& polylines);
    // Corners as given by the records; the right and bottom edges are exclusive.
    void Rectangle(const QRectF& box);
    void RoundRect(const QRectF& box, QSizeF corner);
    void Ellipse(const QRectF& box);
    // `options` ETO_OPAQUE fills and ETO_CLIPPED clips to `box`.
    void TextOut(QPointF reference, const QString& text, uint32_t options = 0, const QRectF& box = {});
    // `source` is in the picture's top-down pixels; a negative destination extent mirrors.
    void DrawBitmap(const QImage& picture, const QRectF& destination, const QRectF& source, uint32_t rasterOp);

private:
    struct TState {
        TGdiPen Pen;
        TGdiBrush Brush;
        TGdiFont Font;
        uint32_t TextColor = 0;
        uint32_t BkColor = 0xFFFFFF;
        uint32_t BkMode = Gdi::OPAQUE;
        uint32_t PolyFillMode = Gdi::ALTERNATE;
        uint32_t TextAlign = 0;
        uint32_t MapMode = Gdi::MM_TEXT;
        QPointF WindowOrg;
        QSizeF WindowExt{1, 1};
        QPointF ViewportOrg;
        QSizeF ViewportExt{1, 1};
        QTransform World;
        QPointF Position;
    };

    QTransform LogicalToPicture() const;
    Qt::FillRule FillRule() const;
    // Draws the outline with the pen and the inside with the brush, or adds the figure to
    // the open path.
    void Emit(const QPainterPath& figure, bool stroke, bool fill);
    void DrawClosedPath(bool stroke, bool fill);
    QPen PenFor(const QTransform& transform) const;
    QBrush BrushFor() const;
    QFont FontFor(const QTransform& transform) const;

    QPainter painter_;
    QTransform deviceToPicture_;
    TState state_;
    std::vector<TState> saved_;
    std::vector<std::optional<TGdiObject>> objects_;
    QPainterPath path_;
    bool recording_ = false;
    bool pathClosed_ = false;
};
