// The saver window in a window of another program (the preview, the XScreenSaver hack): its
// size in device pixels, and following the parent's size.

#include "host/formLumenfall.h"

#include "kinds/ParticleWaves.h"
#include "platform/X11Windows.h"

#include <QWindow>

namespace {
// The base of the preview's percentages; the other placements measure their window.
constexpr int32_t kPreviewBaseWidth = 320;
constexpr int32_t kPreviewBaseHeight = 240;
} // namespace

qreal TfrmLumenfall::PixelRatio() const { return devicePixelRatioF(); }

QSize TfrmLumenfall::DeviceSize() const
{
    // A foreign parent's size is known in device pixels; rounding it through the window's
    // own coordinates could lose a pixel.
    if (parentWindow_ != 0 && parentSize_.isValid())
        return parentSize_;
    return QSize(qRound(width() * PixelRatio()), qRound(height() * PixelRatio()));
}

void TfrmLumenfall::EmbedIntoParent(int32_t width, int32_t height)
{
    QWindow* parent = QWindow::fromWinId(WId(parentWindow_));
    setAttribute(Qt::WA_NativeWindow);
    create();
    windowHandle()->setParent(parent);
    FillParent(width, height);
}

void TfrmLumenfall::FillParent(int32_t width, int32_t height)
{
    setGeometry(0, 0, qRound(width / PixelRatio()), qRound(height / PixelRatio()));
}

void TfrmLumenfall::FollowParent()
{
    const auto size = X11WindowSize(parentWindow_);
    if (!size) {
        close();
        return;
    }
    const QSize now(size->Width, size->Height);
    if (now == parentSize_)
        return;
    parentSize_ = now;
    FillParent(now.width(), now.height());
    RebuildShow();
}

void TfrmLumenfall::RebuildShow()
{
    if (!show_.Current())
        return;
    // The show is prepared again from the preset as loaded; the wave goes on where it was,
    // the items start again from the first.
    const float pos = show_.WaveSystem() ? show_.WaveSystem()->Pos : waveStartPos_;
    int32_t baseWidth = kPreviewBaseWidth, baseHeight = kPreviewBaseHeight;
    BaseSize(baseWidth, baseHeight);
    show_.PrepareWave(baseWidth, baseHeight, pos);
    show_.ActiveWave().Pos = pos;
    BuildShow();
    UpdateLayout();
    update();
}
