#pragma once
// The part of the show that one window of the saver shows. On X11 one window covers the
// whole virtual desktop; where the compositor places windows itself, each output has a
// window of its own, which shows the monitors inside its rectangle of the desktop.

#include "host/SaverShow.h"

#include <QPoint>
#include <QRect>
#include <QRegion>
#include <QSize>

#include <vector>

class QPainter;

struct TOutputArea {
    QPoint Offset;                 // the window's top-left corner relative to the desktop's
    QSize Size;                    // the window's size
    std::vector<TMonitor> Monitors; // the monitors inside the window, relative to the desktop
    QRegion Uncovered;             // window coordinates that no monitor's picture covers
};

// The layout of a window covering `area` of a desktop of `desktop` size with the given
// monitors. `settings` is null while there is no frame to show: the window stays black.
TOutputArea LayOutArea(const QRect& area, const std::vector<TMonitor>& monitors, const QSize& desktop,
                       const TBlankerSettings* settings);

// Paints the window's part of the current frame (black where there is none) and makes the
// painted pixels opaque.
void PaintOutputArea(QPainter& painter, const TSaverShow& show, const TOutputArea& area, const QSize& desktop);

// Sets the alpha channel of `rect` to opaque, keeping the colours, when the painter draws into
// a buffer that has one (Wayland's window buffers). The raster's fourth byte has no meaning and
// is usually 0, which a compositor would show as a see-through frame.
void MakeOpaque(QPainter& painter, const QRect& rect);
