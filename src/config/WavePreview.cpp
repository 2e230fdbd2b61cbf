#include "config/WavePreview.h"

#include "kinds/LumenfallCfg.h"
#include "util/NumericConversion.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cstring>

namespace {

int32_t DevicePixels(int logical, qreal ratio) { return std::max(2, TruncToInt(double(logical) * ratio)); }

} // namespace

TWavePreview::TWavePreview(QSize size, QWidget* parent)
    : QWidget(parent),
      ratio_(float(devicePixelRatioF())),
      boxWidth_(DevicePixels(size.width(), ratio_)),
      boxHeight_(DevicePixels(size.height(), ratio_)),
      rasters_{std::make_unique<TDIBRaster>(boxWidth_, boxHeight_), std::make_unique<TDIBRaster>(boxWidth_, boxHeight_)},
      shown_(boxWidth_, boxHeight_),
      map_(std::make_unique<TTranslationMap>(boxWidth_, boxHeight_)),
      world_(ZeroPosition, float(-((boxWidth_ + boxHeight_) / 2)), ZeroAngle,
             TScreenPoint{boxWidth_ / 2, boxHeight_ / 2})
{
    setFixedSize(size);
    setAttribute(Qt::WA_OpaquePaintEvent);
    system_.Raster = rasters_[0].get();
    system_.SetRenderMode(TRenderMode::rmDrawStars);
    world_.Add(&system_);
    shown_.FillRect({0, 0, shown_.Width() - 1, shown_.Height() - 1}, 0);
}

TWavePreview::~TWavePreview() = default;

void TWavePreview::Apply(const TWaveConfig& edited, TWaveConfig& applied)
{
    applied.Assign(edited);
    applied.Width = boxWidth_;
    applied.Height = boxHeight_;
    applied.Rescale(float(edited.Width), float(edited.Height));
    system_.ApplyWaveConfig(applied);
    if (applied.TransMapFilter)
        BuildMap(applied);
    for (auto& raster : rasters_)
        raster->FillRect({0, 0, raster->Width() - 1, raster->Height() - 1}, 0);
    applied_ = &applied;
}

void TWavePreview::BuildMap(const TWaveConfig& applied)
{
    const int32_t cx = int32_t(int64_t(applied.ZoomCenterX) * boxWidth_ / 100);
    const int32_t cy = int32_t(int64_t(applied.ZoomCenterY) * boxHeight_ / 100);
    switch (applied.TransMapStyle) {
    case TTransMapStyle::tmsWaved: {
        // The shift amplitudes are percentages of the box.
        TSinMagicParams params = applied.SinMagicParams;
        for (size_t i = 0; i < 4; ++i) {
            params[smrAmplitudesX][i] *= float(boxWidth_) / 100.0f;
            params[smrAmplitudesY][i] *= float(boxHeight_) / 100.0f;
        }
        map_->BuildShiftMap(params);
        break;
    }
    case TTransMapStyle::tmsWavedZoom:
    case TTransMapStyle::tmsWavedZoomOverlay:
        map_->BuildZoomMap(applied.SinMagicParams, cx, cy,
                           applied.TransMapStyle == TTransMapStyle::tmsWavedZoomOverlay);
        break;
    case TTransMapStyle::tmsWavedZoomCombined:
        map_->BuildCombinedMap(applied.SinMagicParams, applied.SinMagicParams2, cx, cy);
        break;
    default:
        // A style this program does not know leaves the picture as it is.
        map_ = std::make_unique<TTranslationMap>(boxWidth_, boxHeight_);
        break;
    }
}

void TWavePreview::Frame()
{
    if (!applied_)
        return;
    const TWaveConfig& p = *applied_;
    const auto blur = uint8_t(std::clamp(p.MotionBlur, 0, 8));
    TDIBRaster& first = *rasters_[0];
    TDIBRaster& second = *rasters_[1];
    if (p.TransMapFilter) {
        current_ = 0;
        Render(first);
        if (p.TransMapMode == TTransMapMode::tmmApplyBefore)
            CopyToBox(first);
        map_->Execute(first, second);
        smooth_.Execute(second, first);
        first.Fade(blur);
        if (p.TransMapMode == TTransMapMode::tmmApplyAfter)
            CopyToBox(first);
    } else if (p.SmoothFilter) {
        Render(*rasters_[current_]);
        CopyToBox(*rasters_[current_]);
        if (frameCount_ % 2 != 0) {
            smooth_.Execute(second, first);
            current_ = 0;
        } else {
            smooth_.Execute(first, second);
            current_ = 1;
        }
        rasters_[current_]->Fade(blur);
    } else {
        current_ = 0;
        Render(first);
        CopyToBox(first);
        first.Fade(blur);
    }
    ++frameCount_;
}

void TWavePreview::Render(TDIBRaster& raster)
{
    system_.Raster = &raster;
    world_.StepAll();
}

void TWavePreview::CopyToBox(const TDIBRaster& raster)
{
    std::memcpy(shown_.Bits(), raster.Bits(), size_t(raster.PixelCount()) * sizeof(TPixel));
    update();
}

void TWavePreview::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    // One raster pixel to one device pixel.
    painter.scale(1.0 / ratio_, 1.0 / ratio_);
    shown_.CopyToDevice(painter, 0, 0, 0, 0, boxWidth_ - 2, boxHeight_ - 2);
}

TVector3d TWavePreview::DragAngle(int32_t x, int32_t y, int32_t width, int32_t height, bool shift)
{
    if (width <= 0 || height <= 0)
        return ZeroAngle;
    const auto a = float(-((int64_t(y) + height / 2) * 180 / height));
    const auto b = float(-((int64_t(x) + width / 2) * 180 / width));
    return shift ? TVector3d{a, 0, b} : TVector3d{a, b, 0};
}

void TWavePreview::mouseMoveEvent(QMouseEvent* event)
{
    if (!draggable_ || event->buttons() == Qt::NoButton)
        return;
    const QPoint at = event->position().toPoint();
    system_.Angle = DragAngle(at.x(), at.y(), width(), height(), event->modifiers() & Qt::ShiftModifier);
}
