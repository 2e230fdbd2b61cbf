#include "graphics/MetafileCanvas.h"

#include "util/NumericConversion.h"

#include <QFont>
#include <QFontMetricsF>

#include <algorithm>
#include <cmath>

using namespace Gdi;

namespace {

constexpr size_t kMaxObjects = 65536;
constexpr size_t kMaxSavedStates = 1024;
// Figures reaching further out than this are not drawn: the rasteriser's fixed-point
// coordinates would overflow, and nothing of them could be on the picture anyway.
constexpr double kCoordinateLimit = double(1 << 24);
constexpr double kMaxFontPixels = 16384;
constexpr double kMaxPenPixels = 32767; // the painter's limit
constexpr double kDefaultFontPixels = 12;

QColor ColorOf(uint32_t colorRef) { return QColor(colorRef & 0xFF, (colorRef >> 8) & 0xFF, (colorRef >> 16) & 0xFF); }

bool Drawable(const QRectF& bounds)
{
    const double edges[] = {bounds.left(), bounds.right(), bounds.top(), bounds.bottom()};
    return std::all_of(std::begin(edges), std::end(edges),
                       [](double v) { return std::isfinite(v) && std::fabs(v) < kCoordinateLimit; });
}

int PixelSize(double pixels) { return std::max(1, TruncToInt(std::min(pixels, kMaxFontPixels) + 0.5)); }

Qt::BrushStyle HatchStyle(uint32_t hatch)
{
    switch (hatch) {
    case HS_HORIZONTAL:
        return Qt::HorPattern;
    case HS_VERTICAL:
        return Qt::VerPattern;
    case HS_FDIAGONAL:
        return Qt::FDiagPattern;
    case HS_BDIAGONAL:
        return Qt::BDiagPattern;
    case HS_CROSS:
        return Qt::CrossPattern;
    default:
        return Qt::DiagCrossPattern;
    }
}

QPainter::CompositionMode CompositionFor(uint32_t rasterOp)
{
    switch (rasterOp) {
    case SRCAND:
        return QPainter::RasterOp_SourceAndDestination;
    case SRCPAINT:
        return QPainter::RasterOp_SourceOrDestination;
    case SRCINVERT:
        return QPainter::RasterOp_SourceXorDestination;
    case NOTSRCCOPY:
        return QPainter::RasterOp_NotSource;
    default: // a plain copy, as SRCCOPY
        return QPainter::CompositionMode_SourceOver;
    }
}

// The length of a logical unit along x (horizontal) or y on the picture.
double ScaleX(const QTransform& t) { return std::hypot(t.m11(), t.m12()); }
double ScaleY(const QTransform& t) { return std::hypot(t.m21(), t.m22()); }

} // namespace

TMetafileCanvas::TMetafileCanvas(QImage& target, const QTransform& deviceToPicture)
    : deviceToPicture_(deviceToPicture)
{
    painter_.begin(&target);
}

// ---- objects -----------------------------------------------------------------------

void TMetafileCanvas::AddObject(const TGdiObject& object)
{
    const auto free = std::find_if(objects_.begin(), objects_.end(), [](const auto& slot) { return !slot; });
    if (free != objects_.end())
        *free = object;
    else if (objects_.size() < kMaxObjects)
        objects_.push_back(object);
}

void TMetafileCanvas::PutObject(uint32_t index, const TGdiObject& object)
{
    if (index >= kMaxObjects)
        return;
    if (index >= objects_.size())
        objects_.resize(index + 1);
    objects_[index] = object;
}

void TMetafileCanvas::SelectObject(uint32_t index)
{
    if (index >= objects_.size() || !objects_[index])
        return;
    std::visit(
        [this](const auto& object) {
            using T = std::decay_t<decltype(object)>;
            if constexpr (std::is_same_v<T, TGdiPen>)
                state_.Pen = object;
            else if constexpr (std::is_same_v<T, TGdiBrush>)
                state_.Brush = object;
            else if constexpr (std::is_same_v<T, TGdiFont>)
                state_.Font = object;
        },
        *objects_[index]);
}

void TMetafileCanvas::SelectStockObject(uint32_t stock)
{
    switch (stock) {
    case 0: // WHITE_BRUSH
    case 18: // DC_BRUSH
        state_.Brush = TGdiBrush{BS_SOLID, 0xFFFFFF, 0};
        break;
    case 1:
        state_.Brush = TGdiBrush{BS_SOLID, 0xC0C0C0, 0};
        break;
    case 2:
        state_.Brush = TGdiBrush{BS_SOLID, 0x808080, 0};
        break;
    case 3:
        state_.Brush = TGdiBrush{BS_SOLID, 0x404040, 0};
        break;
    case 4:
        state_.Brush = TGdiBrush{BS_SOLID, 0, 0};
        break;
    case 5:
        state_.Brush = TGdiBrush{BS_NULL, 0, 0};
        break;
    case 6:
        state_.Pen = TGdiPen{PS_SOLID, 0, 0xFFFFFF};
        break;
    case 7: // BLACK_PEN
    case 19: // DC_PEN
        state_.Pen = TGdiPen{PS_SOLID, 0, 0};
        break;
    case 8:
        state_.Pen = TGdiPen{PS_NULL, 0, 0};
        break;
    default:
        if (stock >= 10 && stock <= 17)
            state_.Font = TGdiFont{};
        break;
    }
}

void TMetafileCanvas::DeleteObject(uint32_t index)
{
    if (index < objects_.size())
        objects_[index].reset();
}

// ---- state -------------------------------------------------------------------------

void TMetafileCanvas::SetWindowExt(QSizeF extent)
{
    if (extent.width() != 0 && extent.height() != 0)
        state_.WindowExt = extent;
}

void TMetafileCanvas::SetViewportExt(QSizeF extent)
{
    if (extent.width() != 0 && extent.height() != 0)
        state_.ViewportExt = extent;
}

void TMetafileCanvas::ModifyWorldTransform(const QTransform& transform, uint32_t mode)
{
    switch (mode) {
    case MWT_IDENTITY:
        state_.World.reset();
        break;
    case MWT_LEFTMULTIPLY:
        state_.World = transform * state_.World;
        break;
    case MWT_RIGHTMULTIPLY:
        state_.World = state_.World * transform;
        break;
    case MWT_SET:
        state_.World = transform;
        break;
    default:
        break;
    }
}

bool TMetafileCanvas::SaveDC()
{
    if (saved_.size() >= kMaxSavedStates)
        return false;
    saved_.push_back(state_);
    return true;
}

void TMetafileCanvas::RestoreDC(int32_t which)
{
    const int64_t count = int64_t(saved_.size());
    const int64_t index = which < 0 ? count + which : int64_t(which) - 1;
    if (which == 0 || index < 0 || index >= count)
        return;
    state_ = saved_[size_t(index)];
    saved_.resize(size_t(index));
}

QTransform TMetafileCanvas::LogicalToPicture() const
{
    double sx = 1, sy = 1;
    if (state_.MapMode == MM_ANISOTROPIC || state_.MapMode == MM_ISOTROPIC) {
        sx = state_.ViewportExt.width() / state_.WindowExt.width();
        sy = state_.ViewportExt.height() / state_.WindowExt.height();
        if (state_.MapMode == MM_ISOTROPIC) {
            const double s = std::min(std::fabs(sx), std::fabs(sy));
            sx = std::copysign(s, sx);
            sy = std::copysign(s, sy);
        }
    }
    const QTransform windowToViewport(sx, 0, 0, sy, state_.ViewportOrg.x() - state_.WindowOrg.x() * sx,
                                      state_.ViewportOrg.y() - state_.WindowOrg.y() * sy);
    return state_.World * windowToViewport * deviceToPicture_;
}

Qt::FillRule TMetafileCanvas::FillRule() const
{
    return state_.PolyFillMode == WINDING ? Qt::WindingFill : Qt::OddEvenFill;
}

// ---- drawing -----------------------------------------------------------------------

QPen TMetafileCanvas::PenFor(const QTransform& transform) const
{
    const TGdiPen& pen = state_.Pen;
    const uint32_t style = pen.Style & PS_STYLE_MASK;
    if (style == PS_NULL)
        return Qt::NoPen;
    QPen result(ColorOf(pen.Color));
    // Figures are drawn in picture pixels; a pen never draws thinner than one pixel.
    const double pixels = pen.Width * ScaleX(transform);
    if (pen.Width <= 0 || !(pixels >= 1)) {
        result.setWidth(0);
        result.setCosmetic(true);
    } else {
        result.setWidthF(std::min(pixels, kMaxPenPixels));
    }
    switch (style) {
    case PS_DASH:
        result.setStyle(Qt::DashLine);
        break;
    case PS_DOT:
        result.setStyle(Qt::DotLine);
        break;
    case PS_DASHDOT:
        result.setStyle(Qt::DashDotLine);
        break;
    case PS_DASHDOTDOT:
        result.setStyle(Qt::DashDotDotLine);
        break;
    default:
        break;
    }
    result.setCapStyle(Qt::RoundCap);
    result.setJoinStyle(Qt::RoundJoin);
    return result;
}

QBrush TMetafileCanvas::BrushFor() const
{
    const TGdiBrush& brush = state_.Brush;
    switch (brush.Style) {
    case BS_NULL:
        return Qt::NoBrush;
    case BS_HATCHED:
        return QBrush(ColorOf(brush.Color), HatchStyle(brush.Hatch));
    default:
        return QBrush(ColorOf(brush.Color));
    }
}

QFont TMetafileCanvas::FontFor(const QTransform& transform) const
{
    const TGdiFont& spec = state_.Font;
    QFont font(spec.Face.isEmpty() ? QStringLiteral("Arial") : spec.Face);
    const double pixels = spec.Height == 0 ? kDefaultFontPixels : std::fabs(double(spec.Height)) * ScaleY(transform);
    font.setPixelSize(PixelSize(pixels));
    if (spec.Height > 0) {
        // A positive height is the whole cell; scale the character size to fit it.
        const double cell = QFontMetricsF(font).height();
        if (cell > 0)
            font.setPixelSize(PixelSize(pixels * pixels / cell));
    }
    if (spec.Weight > 0)
        font.setWeight(QFont::Weight(std::clamp(spec.Weight, 1, 1000)));
    font.setItalic(spec.Italic);
    font.setUnderline(spec.Underline);
    font.setStrikeOut(spec.StrikeOut);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

void TMetafileCanvas::Emit(const QPainterPath& figure, bool stroke, bool fill)
{
    if (recording_) {
        path_.addPath(figure);
        return;
    }
    const QTransform transform = LogicalToPicture();
    const QPainterPath mapped = transform.map(figure);
    if (!Drawable(mapped.controlPointRect()))
        return;
    painter_.setBackgroundMode(state_.BkMode == OPAQUE ? Qt::OpaqueMode : Qt::TransparentMode);
    painter_.setBackground(ColorOf(state_.BkColor));
    painter_.setPen(stroke ? PenFor(transform) : QPen(Qt::NoPen));
    painter_.setBrush(fill ? BrushFor() : QBrush(Qt::NoBrush));
    painter_.drawPath(mapped);
}

void TMetafileCanvas::BeginPath()
{
    path_ = QPainterPath();
    recording_ = true;
    pathClosed_ = false;
}

void TMetafileCanvas::DrawClosedPath(bool stroke, bool fill)
{
    if (!pathClosed_)
        return;
    QPainterPath figure = path_;
    figure.setFillRule(FillRule());
    AbortPath();
    Emit(figure, stroke, fill);
}

void TMetafileCanvas::MoveTo(QPointF point) { state_.Position = point; }

void TMetafileCanvas::LineTo(QPointF point)
{
    QPainterPath figure(state_.Position);
    figure.lineTo(point);
    Emit(figure, true, false);
    state_.Position = point;
}

void TMetafileCanvas::Polyline(const QPolygonF& points)
{
    if (points.size() < 2)
        return;
    QPainterPath figure;
    figure.addPolygon(points);
    Emit(figure, true, false);
}

void TMetafileCanvas::PolylineTo(const QPolygonF& points)
{
    if (points.isEmpty())
        return;
    QPainterPath figure(state_.Position);
    for (const QPointF& p : points)
        figure.lineTo(p);
    Emit(figure, true, false);
    state_.Position = points.back();
}

void TMetafileCanvas::PolyBezier(const QPolygonF& points)
{
    if (points.size() < 4)
        return;
    QPainterPath figure(points[0]);
    for (qsizetype i = 1; i + 2 < points.size(); i += 3)
        figure.cubicTo(points[i], points[i + 1], points[i + 2]);
    Emit(figure, true, false);
}

void TMetafileCanvas::PolyBezierTo(const QPolygonF& points)
{
    if (points.size() < 3)
        return;
    QPainterPath figure(state_.Position);
    qsizetype i = 0;
    for (; i + 2 < points.size(); i += 3)
        figure.cubicTo(points[i], points[i + 1], points[i + 2]);
    Emit(figure, true, false);
    state_.Position = points[i - 1];
}

void TMetafileCanvas::Polygon(const QPolygonF& points) { PolyPolygon({points}); }

void TMetafileCanvas::PolyPolygon(const std::vector<QPolygonF>& polygons)
{
    QPainterPath figure;
    figure.setFillRule(FillRule());
    for (const QPolygonF& polygon : polygons) {
        if (polygon.size() < 2)
            continue;
        figure.addPolygon(polygon);
        figure.closeSubpath();
    }
    if (!figure.isEmpty())
        Emit(figure, true, true);
}

void TMetafileCanvas::PolyPolyline(const std::vector<QPolygonF>& polylines)
{
    QPainterPath figure;
    for (const QPolygonF& polyline : polylines)
        if (polyline.size() >= 2)
            figure.addPolygon(polyline);
    if (!figure.isEmpty())
        Emit(figure, true, false);
}

void TMetafileCanvas::Rectangle(const QRectF& box)
{
    QPainterPath figure;
    figure.addRect(box.normalized());
    Emit(figure, true, true);
}

void TMetafileCanvas::RoundRect(const QRectF& box, QSizeF corner)
{
    QPainterPath figure;
    figure.addRoundedRect(box.normalized(), std::fabs(corner.width()) / 2, std::fabs(corner.height()) / 2);
    Emit(figure, true, true);
}

void TMetafileCanvas::Ellipse(const QRectF& box)
{
    QPainterPath figure;
    figure.addEllipse(box.normalized());
    Emit(figure, true, true);
}

void TMetafileCanvas::TextOut(QPointF reference, const QString& text, uint32_t options, const QRectF& box)
{
    if (recording_)
        return;
    const QTransform transform = LogicalToPicture();
    const bool updatePosition = state_.TextAlign & TA_UPDATECP;
    const QPointF origin = transform.map(updatePosition ? state_.Position : reference);
    const bool usesBox = options & (ETO_OPAQUE | ETO_CLIPPED);
    if (!Drawable(QRectF(origin, QSizeF(0, 0))) || (usesBox && !Drawable(transform.mapRect(box))))
        return;

    painter_.save();
    painter_.setTransform(transform);
    if (options & ETO_OPAQUE)
        painter_.fillRect(box.normalized(), ColorOf(state_.BkColor));
    if (options & ETO_CLIPPED)
        painter_.setClipRect(box.normalized());

    // Glyphs stand upright whatever the mapping: only the reference point is mapped.
    const QFont font = FontFor(transform);
    const QFontMetricsF metrics(font);
    const double width = metrics.horizontalAdvance(text);
    double dx = 0, dy = metrics.ascent();
    if ((state_.TextAlign & TA_HORIZONTAL_MASK) == TA_CENTER)
        dx = -width / 2;
    else if ((state_.TextAlign & TA_HORIZONTAL_MASK) == TA_RIGHT)
        dx = -width;
    if ((state_.TextAlign & TA_VERTICAL_MASK) == TA_BASELINE)
        dy = 0;
    else if ((state_.TextAlign & TA_VERTICAL_MASK) == TA_BOTTOM)
        dy = -metrics.descent();

    painter_.setTransform(QTransform());
    painter_.translate(origin);
    painter_.rotate(-state_.Font.Escapement / 10.0);
    painter_.setFont(font);
    painter_.setPen(ColorOf(state_.TextColor));
    painter_.setBackgroundMode(state_.BkMode == OPAQUE ? Qt::OpaqueMode : Qt::TransparentMode);
    painter_.setBackground(ColorOf(state_.BkColor));
    painter_.drawText(QPointF(dx, dy), text);
    painter_.restore();

    if (updatePosition && transform.m11() != 0)
        state_.Position.rx() += width / transform.m11();
}

void TMetafileCanvas::DrawBitmap(const QImage& picture, const QRectF& destination, const QRectF& source,
                                 uint32_t rasterOp)
{
    if (recording_ || picture.isNull() || source.width() == 0 || source.height() == 0)
        return;
    const QTransform transform = LogicalToPicture();
    if (!Drawable(transform.mapRect(destination)))
        return;
    painter_.save();
    painter_.setTransform(transform);
    painter_.translate(destination.topLeft());
    painter_.scale(destination.width() / source.width(), destination.height() / source.height());
    painter_.setCompositionMode(CompositionFor(rasterOp));
    painter_.drawImage(QPointF(0, 0), picture, source);
    painter_.restore();
}
