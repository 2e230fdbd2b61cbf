#include "host/MultimediaTools.h"

#include "platform/X11ErrorTrap.h"
#include "util/NumericConversion.h"

#include <QGuiApplication>

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>

std::string DisplayModeName(const TDisplayMode& mode)
{
    std::string name = std::to_string(mode.Width) + "x" + std::to_string(mode.Height) + ", " +
                       std::to_string(mode.BitsPerPel) + " bit, ";
    if (mode.Frequency != 0)
        name += std::to_string(mode.Frequency) + " Hz, ";
    name += (mode.DisplayFlags & kModeGrayscale) ? "grayscaled" : "colored";
    name += ", ";
    name += (mode.DisplayFlags & kModeInterlaced) ? "interlaced" : "non interlaced";
    return name;
}

namespace {

class TNoDisplayModes final : public TDisplayModeBackend {
public:
    std::vector<TDisplayMode> EnumModes() override { return {}; }
    bool SetMode(const TDisplayMode&) override { return false; }
    bool RestoreDefault() override { return true; }
};

struct TScreenResources {
    explicit TScreenResources(Display* display, Window root) : Value(XRRGetScreenResourcesCurrent(display, root)) {}
    ~TScreenResources()
    {
        if (Value)
            XRRFreeScreenResources(Value);
    }
    TScreenResources(const TScreenResources&) = delete;
    TScreenResources& operator=(const TScreenResources&) = delete;
    XRRScreenResources* Value;
};

struct TCrtcConfig {
    RRCrtc Crtc = 0;
    RRMode Mode = 0;
    int X = 0;
    int Y = 0;
    Rotation Rotate = RR_Rotate_0;
    std::vector<RROutput> Outputs;
};

int32_t RefreshRate(const XRRModeInfo& mode)
{
    double lines = mode.vTotal;
    if (mode.modeFlags & RR_DoubleScan)
        lines *= 2;
    if (mode.modeFlags & RR_Interlace)
        lines /= 2;
    if (mode.hTotal == 0 || lines == 0)
        return 0;
    return TruncToInt(double(mode.dotClock) / (double(mode.hTotal) * lines) + 0.5);
}

// The modes of the primary output (the first connected output with a controller when no
// output is marked primary). Changes are undone by RestoreDefault and by the destructor.
class TXRandRModes final : public TDisplayModeBackend {
public:
    explicit TXRandRModes(Display* display) : display_(display), root_(DefaultRootWindow(display)) {}
    ~TXRandRModes() override { RestoreDefault(); }

    std::vector<TDisplayMode> EnumModes() override
    {
        std::vector<TDisplayMode> modes;
        TScreenResources resources(display_, root_);
        if (!resources.Value)
            return modes;
        XRROutputInfo* output = PrimaryOutput(resources.Value);
        if (!output)
            return modes;
        const int32_t bitsPerPel = BitsPerPixel();
        for (int i = 0; i < output->nmode; ++i) {
            const XRRModeInfo* info = FindMode(resources.Value, output->modes[i]);
            if (!info)
                continue;
            TDisplayMode mode;
            mode.Width = int32_t(info->width);
            mode.Height = int32_t(info->height);
            mode.BitsPerPel = bitsPerPel;
            mode.Frequency = RefreshRate(*info);
            mode.DisplayFlags = (info->modeFlags & RR_Interlace) ? uint32_t(kModeInterlaced) : 0u;
            mode.Id = info->id;
            modes.push_back(mode);
        }
        XRRFreeOutputInfo(output);
        return modes;
    }

    bool SetMode(const TDisplayMode& mode) override
    {
        TScreenResources resources(display_, root_);
        if (!resources.Value)
            return false;
        XRROutputInfo* output = PrimaryOutput(resources.Value);
        if (!output)
            return false;
        TCrtcConfig current;
        const bool known = ReadCrtc(resources.Value, output->crtc, current);
        XRRFreeOutputInfo(output);
        if (!known)
            return false;
        if (!changed_) {
            original_ = current;
            originalSize_ = ScreenSize();
        }
        current.Mode = RRMode(mode.Id);
        const bool done = Apply(resources.Value, current, mode.Width, mode.Height);
        changed_ = changed_ || done;
        return done;
    }

    bool RestoreDefault() override
    {
        if (!changed_)
            return true;
        TScreenResources resources(display_, root_);
        if (!resources.Value)
            return false;
        const XRRModeInfo* info = FindMode(resources.Value, original_.Mode);
        if (!info || !Apply(resources.Value, original_, int32_t(info->width), int32_t(info->height)))
            return false;
        if (ScreenSize() != originalSize_)
            SetScreenSize(originalSize_);
        changed_ = false;
        return true;
    }

private:
    struct TSize {
        int Width, Height, MmWidth, MmHeight;
        bool operator==(const TSize&) const = default;
    };

    XRROutputInfo* PrimaryOutput(XRRScreenResources* resources)
    {
        const RROutput primary = XRRGetOutputPrimary(display_, root_);
        if (primary != None) {
            XRROutputInfo* info = XRRGetOutputInfo(display_, resources, primary);
            if (info && info->crtc != None)
                return info;
            if (info)
                XRRFreeOutputInfo(info);
        }
        for (int i = 0; i < resources->noutput; ++i) {
            XRROutputInfo* info = XRRGetOutputInfo(display_, resources, resources->outputs[i]);
            if (info && info->connection == RR_Connected && info->crtc != None)
                return info;
            if (info)
                XRRFreeOutputInfo(info);
        }
        return nullptr;
    }

    static const XRRModeInfo* FindMode(XRRScreenResources* resources, RRMode id)
    {
        for (int i = 0; i < resources->nmode; ++i)
            if (resources->modes[i].id == id)
                return &resources->modes[i];
        return nullptr;
    }

    // X11 reports the depth (24); the size of a pixel in memory is what a mode's bits mean.
    int32_t BitsPerPixel() const
    {
        const int depth = DefaultDepth(display_, DefaultScreen(display_));
        int count = 0;
        XPixmapFormatValues* formats = XListPixmapFormats(display_, &count);
        int32_t bits = depth;
        for (int i = 0; i < count; ++i)
            if (formats[i].depth == depth)
                bits = formats[i].bits_per_pixel;
        if (formats)
            XFree(formats);
        return bits;
    }

    bool ReadCrtc(XRRScreenResources* resources, RRCrtc crtc, TCrtcConfig& config)
    {
        if (crtc == None)
            return false;
        XRRCrtcInfo* info = XRRGetCrtcInfo(display_, resources, crtc);
        if (!info)
            return false;
        config.Crtc = crtc;
        config.Mode = info->mode;
        config.X = info->x;
        config.Y = info->y;
        config.Rotate = info->rotation;
        config.Outputs.assign(info->outputs, info->outputs + info->noutput);
        XRRFreeCrtcInfo(info);
        return true;
    }

    TSize ScreenSize() const
    {
        const int screen = DefaultScreen(display_);
        return {DisplayWidth(display_, screen), DisplayHeight(display_, screen), DisplayWidthMM(display_, screen),
                DisplayHeightMM(display_, screen)};
    }

    void SetScreenSize(const TSize& size) { XRRSetScreenSize(display_, root_, size.Width, size.Height, size.MmWidth, size.MmHeight); }

    // The screen must hold every controller's picture: it grows before the change and shrinks
    // to the pictures after it.
    bool Apply(XRRScreenResources* resources, const TCrtcConfig& config, int32_t width, int32_t height)
    {
        const bool rotated = config.Rotate & (RR_Rotate_90 | RR_Rotate_270);
        int needWidth = config.X + (rotated ? height : width);
        int needHeight = config.Y + (rotated ? width : height);
        for (int i = 0; i < resources->ncrtc; ++i) {
            if (resources->crtcs[i] == config.Crtc)
                continue;
            if (XRRCrtcInfo* other = XRRGetCrtcInfo(display_, resources, resources->crtcs[i])) {
                if (other->mode != None) {
                    needWidth = std::max(needWidth, other->x + int(other->width));
                    needHeight = std::max(needHeight, other->y + int(other->height));
                }
                XRRFreeCrtcInfo(other);
            }
        }
        const TSize before = ScreenSize();
        const auto scaled = [&](int width, int height) {
            return TSize{width, height, std::max(1, before.MmWidth * width / std::max(1, before.Width)),
                         std::max(1, before.MmHeight * height / std::max(1, before.Height))};
        };

        TX11ErrorTrap trap(display_);
        if (needWidth > before.Width || needHeight > before.Height)
            SetScreenSize(scaled(std::max(needWidth, before.Width), std::max(needHeight, before.Height)));
        std::vector<RROutput> outputs = config.Outputs;
        const Status status = XRRSetCrtcConfig(display_, resources, config.Crtc, CurrentTime, config.X, config.Y,
                                               config.Mode, config.Rotate, outputs.data(), int(outputs.size()));
        if (status != RRSetConfigSuccess || trap.Failed()) {
            if (ScreenSize() != before)
                SetScreenSize(before);
            return false;
        }
        if (needWidth < ScreenSize().Width || needHeight < ScreenSize().Height)
            SetScreenSize(scaled(needWidth, needHeight));
        return !trap.Failed();
    }

    Display* display_;
    Window root_;
    bool changed_ = false;
    TCrtcConfig original_;
    TSize originalSize_{};
};

bool HasRandR(Display* display)
{
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    return XRRQueryExtension(display, &eventBase, &errorBase) && XRRQueryVersion(display, &major, &minor) &&
           (major > 1 || (major == 1 && minor >= 3));
}

std::unique_ptr<TScreenModeList> processModes;

} // namespace

std::unique_ptr<TDisplayModeBackend> CreateSystemDisplayModeBackend()
{
    if (auto* app = qGuiApp)
        if (auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>())
            if (Display* display = x11->display(); display && HasRandR(display))
                return std::make_unique<TXRandRModes>(display);
    return std::make_unique<TNoDisplayModes>();
}

TScreenModeList::TScreenModeList(std::unique_ptr<TDisplayModeBackend> backend) : backend_(std::move(backend))
{
    for (const TDisplayMode& mode : backend_->EnumModes())
        if (mode.Frequency != 1)
            modes_.push_back(mode);
}

TScreenModeList::~TScreenModeList()
{
    if (changed_)
        backend_->RestoreDefault();
}

std::vector<std::string> TScreenModeList::GetScreenModes() const
{
    std::vector<std::string> names;
    names.reserve(modes_.size());
    for (const TDisplayMode& mode : modes_)
        names.push_back(DisplayModeName(mode));
    return names;
}

void TScreenModeList::ChangeScreenMode(int32_t index)
{
    if (index < 0) {
        if (!backend_->RestoreDefault())
            throw EGraphicException("ChangeScreenMode : Screen mode could not be changed to default mode");
        changed_ = false;
        return;
    }
    if (size_t(index) >= modes_.size())
        throw EGraphicException("ChangeScreenMode : Screen mode not available");
    if (!backend_->SetMode(modes_[size_t(index)]))
        throw EGraphicException("ChangeScreenMode : Screen mode could not be changed");
    changed_ = true;
}

TScreenModeList& ScreenModes()
{
    if (!processModes)
        processModes = std::make_unique<TScreenModeList>(CreateSystemDisplayModeBackend());
    return *processModes;
}

void ReleaseScreenModes() { processModes.reset(); }

std::vector<std::string> GetScreenModes() { return ScreenModes().GetScreenModes(); }

void ChangeScreenMode(int32_t index) { ScreenModes().ChangeScreenMode(index); }
