#include "host/WaveThumbnail.h"

#include "host/SaverShow.h"
#include "kinds/LumenfallCfg.h"

#include <QPainter>

#include <stdexcept>

namespace {

// A third of a full-HD screen: the presets keep their look (particles against the area they
// fill), and three seconds take a fraction of a second.
constexpr int32_t kScreenWidth = 640;
constexpr int32_t kScreenHeight = 360;

} // namespace

QImage RenderWaveThumbnail(const TWaveConfig& preset, QSize size, const std::function<bool()>& cancelled,
                           int32_t frames)
{
    TSaverShow show;
    TBlankerSettings& settings = show.Settings();
    settings.ActiveWave->Assign(preset);
    settings.WaveDuration = kMaxDurationSeconds;
    show.PrepareWave(kScreenWidth, kScreenHeight, 0);
    show.BuildWaveAlone();
    for (int32_t frame = 0; frame < frames; ++frame) {
        if (cancelled())
            return {};
        show.RenderFrame();
    }
    // A failed frame leaves its message in the picture.
    if (!show.Messages().empty())
        throw std::runtime_error(show.Messages().front());
    QImage screen(kScreenWidth, kScreenHeight, QImage::Format_RGB32);
    {
        QPainter painter(&screen);
        show.PresentFrame(painter, {{0, 0, kScreenWidth, kScreenHeight, true}}, kScreenWidth, kScreenHeight);
    }
    return screen.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}
