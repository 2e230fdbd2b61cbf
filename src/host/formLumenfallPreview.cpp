#include "host/formLumenfallPreview.h"

#include "graphics/GfxTool.h"
#include "host/OutputArea.h"
#include "platform/X11Windows.h"
#include "kinds/LumenfallCfg.h"

#include <QPainter>

namespace {
constexpr int kPreviewIntervalMs = 20;
}

TfrmLumenfallPreview::TfrmLumenfallPreview(uint64_t parentWindow)
    : TfrmLumenfall(TSaverPlacement::spPreview, parentWindow)
{
    setWindowTitle("PWAVE_PREVIEW");
    stepTimer_.setInterval(kPreviewIntervalMs);
    connect(&stepTimer_, &QTimer::timeout, this, &TfrmLumenfallPreview::StepFrame);
}

void TfrmLumenfallPreview::BuildShow()
{
    if (ParentWindow() != 0) {
        const auto size = X11WindowSize(ParentWindow());
        Show().BuildPreview(size ? size->Width : 0, size ? size->Height : 0);
        return;
    }
    Show().BuildPreview(0, 0);
    resize(Show().ActiveWave().Width, Show().ActiveWave().Height);
}

void TfrmLumenfallPreview::StartAnimation() { stepTimer_.start(); }

void TfrmLumenfallPreview::StepFrame()
{
    Show().StepPreview();
    repaint();
    Show().FadePreview();
}

void TfrmLumenfallPreview::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const TDIBRaster* raster = Show().Current();
    if (raster)
        raster->CopyToDevice(painter, 0, 0, 0, 0, Show().ActiveWave().Width, Show().ActiveWave().Height);
    else
        painter.fillRect(rect(), Qt::black);
    MakeOpaque(painter, rect());
}
