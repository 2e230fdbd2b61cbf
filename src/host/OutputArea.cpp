#include "host/OutputArea.h"

#include "graphics/GfxTool.h"
#include "kinds/LumenfallCfg.h"

#include <QImage>
#include <QPaintEngine>
#include <QPainter>

TOutputArea LayOutArea(const QRect& area, const std::vector<TMonitor>& monitors, const QSize& desktop,
                       const TBlankerSettings* settings)
{
    TOutputArea layout;
    layout.Offset = area.topLeft();
    layout.Size = area.size();
    for (const TMonitor& monitor : monitors)
        if (area.intersects(QRect(monitor.Left, monitor.Top, monitor.Width, monitor.Height)))
            layout.Monitors.push_back(monitor);
    layout.Uncovered = QRegion(QRect(QPoint(0, 0), area.size()));
    if (!settings)
        return layout;
    for (const TPresentOp& op : ComposeFrame(*settings, settings->ActiveWave->Width, settings->ActiveWave->Height,
                                             layout.Monitors, desktop.width(), desktop.height()))
        layout.Uncovered -= QRect(op.Clip.Left, op.Clip.Top, op.Clip.Width, op.Clip.Height).translated(-area.topLeft());
    return layout;
}

void PaintOutputArea(QPainter& painter, const TSaverShow& show, const TOutputArea& area, const QSize& desktop)
{
    for (const QRect& part : area.Uncovered)
        painter.fillRect(part, Qt::black);
    if (show.Current()) {
        painter.save();
        painter.translate(-area.Offset);
        show.PresentFrame(painter, area.Monitors, desktop.width(), desktop.height());
        painter.restore();
    }
    MakeOpaque(painter, QRect(QPoint(0, 0), area.Size));
}

void MakeOpaque(QPainter& painter, const QRect& rect)
{
    const QPaintEngine* engine = painter.paintEngine();
    const QPaintDevice* target = engine ? engine->paintDevice() : nullptr;
    if (!target || target->devType() != QInternal::Image || !static_cast<const QImage*>(target)->hasAlphaChannel())
        return;
    // Black behind the frame: every pixel's alpha becomes full and its colour stays as drawn.
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_DestinationOver);
    painter.fillRect(rect, Qt::black);
    painter.restore();
}
