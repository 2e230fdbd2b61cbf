#include "host/SaverShow.h"

#include "engine/World3d.h"
#include "graphics/DrawingSurface.h"
#include "graphics/GfxFilters.h"
#include "graphics/GfxTool.h"
#include "graphics/PictureLoader.h"
#include "kinds/LumenfallCfg.h"
#include "kinds/ParticleMorphing.h"
#include "kinds/ParticleText.h"
#include "kinds/ParticleWaves.h"
#include "sequencing/LumenfallSequences.h"
#include "sequencing/Sequencer.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

std::unique_ptr<TWaveConfig> CopyOf(const TWaveConfig& wave)
{
    auto copy = std::make_unique<TWaveConfig>();
    copy->Assign(wave);
    return copy;
}

// The window's font: Arial of 13 pixels in white.
constexpr int32_t kOverlayFontHeight = -13;
// The message lines blink: this many frames shown, as many hidden.
constexpr int32_t kBlinkFrames = 90;
// The fallback font of a text preset without a font: the platform's default of 8 points.
constexpr int32_t kDefaultTextFontHeight = -11;

TFont OverlayFont()
{
    TFont font;
    font.Name = "Arial";
    font.Height = kOverlayFontHeight;
    font.Color = 0x00FFFFFF;
    return font;
}

// Points to pixels at 96 pixels per inch, rounded half away from zero; negative, as a
// character height.
int32_t FontHeightFromSize(int32_t points)
{
    const int64_t scaled = int64_t(points) * 96;
    const int64_t rounded = scaled >= 0 ? (scaled + 36) / 72 : -((-scaled + 36) / 72);
    return int32_t(-rounded);
}

template <typename T>
const T& PickRandom(std::mt19937& random, const std::vector<T>& list)
{
    std::uniform_int_distribution<size_t> index(0, list.size() - 1);
    return list[index(random)];
}

// Stored integers may hold anything: their sums and products are taken in 64 bits and
// brought back into range.
int32_t Saturated(int64_t value) { return int32_t(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX)); }

int32_t Average(int32_t a, int32_t b) { return int32_t((int64_t(a) + b) / 2); }

// The size in pixels for a percentage of the base size, integer arithmetic as the preset
// stores it; the wave preset's limits keep it positive.
int32_t PercentOf(int32_t percent, int32_t base) { return Saturated(int64_t(percent) * base / 100); }

} // namespace

std::vector<TPresentOp> ComposeFrame(const TBlankerSettings& settings, int32_t w, int32_t h,
                                     const std::vector<TMonitor>& monitors, int32_t desktopWidth,
                                     int32_t desktopHeight)
{
    std::vector<TPresentOp> ops;
    ComposeFrame(settings, w, h, monitors, desktopWidth, desktopHeight, ops);
    return ops;
}

void ComposeFrame(const TBlankerSettings& settings, int32_t w, int32_t h, const std::vector<TMonitor>& monitors,
                  int32_t desktopWidth, int32_t desktopHeight, std::vector<TPresentOp>& ops)
{
    ops.clear();
    const bool stretch = settings.StretchFullScr && settings.OverrideDrawArea;
    for (const TMonitor& m : monitors) {
        const TArea monitor{m.Left, m.Top, m.Width, m.Height};
        TPresentOp op;
        op.Clip = monitor;
        switch (settings.MultiMonitorMode) {
        case TMultiMonitorMode::mmAnimatePrimary:
        case TMultiMonitorMode::mmAnimateEach:
            if (settings.MultiMonitorMode == TMultiMonitorMode::mmAnimatePrimary && !m.Primary)
                continue;
            if (stretch) {
                op.Source = {0, 0, w, h};
                op.Dest = monitor;
                op.Stretch = true;
            } else {
                op.Source = {0, 0, w, h};
                op.Dest = {m.Left + (m.Width - w) / 2, m.Top + (m.Height - h) / 2, w, h};
            }
            break;
        case TMultiMonitorMode::mmStretchOverAll:
            if (desktopWidth <= 0 || desktopHeight <= 0)
                continue;
            op.Source = {int32_t(int64_t(m.Left) * w / desktopWidth), int32_t(int64_t(m.Top) * h / desktopHeight),
                         int32_t(int64_t(w) * m.Width / desktopWidth), int32_t(int64_t(h) * m.Height / desktopHeight)};
            op.Dest = monitor;
            op.Stretch = true;
            break;
        default:
            continue;
        }
        ops.push_back(op);
    }
}

std::string FormatFrameRate(double framesPerSecond)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", framesPerSecond);
    std::string result = text;
    // "###.00" has no compulsory digit before the point.
    if (result.rfind("0.", 0) == 0)
        result.erase(0, 1);
    return result;
}

float ReadWaveStartPos()
{
    try {
        TRegistry reg(KEY_READ);
        reg.SetRootKey(HKEY_CURRENT_USER);
        if (!reg.KeyExists(std::string("\\") + kSettingsKey) || !reg.OpenKey(std::string("\\") + kSettingsKey, false))
            return 0;
        const float pos = float(reg.ReadFloat("WaveStartPos"));
        return std::isfinite(pos) ? pos : 0.0f;
    } catch (const ERegistryException&) {
        return 0;
    }
}

void StoreWaveStartPos(float pos)
{
    // The accessor saves when it goes: a settings file that cannot be written is reported
    // there, once, and the caller goes on.
    TRegistry reg(KEY_ALL_ACCESS);
    reg.SetRootKey(HKEY_CURRENT_USER);
    if (reg.KeyExists(std::string("\\") + kSettingsKey) && reg.OpenKey(std::string("\\") + kSettingsKey, false))
        reg.WriteFloat("WaveStartPos", pos);
}

TSaverShow::TSaverShow() = default;

TSaverShow::~TSaverShow()
{
    // The items go before the systems they draw.
    DropSequences();
}

bool TSaverShow::LoadSettings(uint32_t seed)
{
    preparedWave_.reset();
    shownWave_.reset();
    installed_ = LoadBlankerSettings(settings_);
    if (!installed_)
        return false;
    for (const std::string& problem : settings_.Problems)
        AddMessage(kWaveSkippedMessage + problem);
    random_.seed(seed);
    if (settings_.WaveRandomSelection && !settings_.WaveList.empty())
        PickRandomWave();
    if (settings_.LogoRandomSelection && !settings_.LogoList.empty())
        LoadLogoConfig(HKEY_CURRENT_USER, settings_.ActiveLogo, kLogosKey, PickRandom(random_, settings_.LogoList));
    if (settings_.TextRandomSelection && !settings_.TextList.empty())
        LoadTextConfig(HKEY_CURRENT_USER, settings_.ActiveText, kTextsKey, PickRandom(random_, settings_.TextList));
    return true;
}

TWaveConfig& TSaverShow::ActiveWave()
{
    return shownWave_ ? *shownWave_ : preparedWave_ ? *preparedWave_ : *settings_.ActiveWave;
}

const TWaveConfig& TSaverShow::ActiveWave() const
{
    return shownWave_ ? *shownWave_ : preparedWave_ ? *preparedWave_ : *settings_.ActiveWave;
}

TWaveConfig& TSaverShow::StartShownWave()
{
    shownWave_ = CopyOf(preparedWave_ ? *preparedWave_ : *settings_.ActiveWave);
    return *shownWave_;
}

void TSaverShow::PickRandomWave()
{
    // A broken file is followed by another pick among the rest, a few times at most; a
    // failed load leaves the active wave in place.
    constexpr int kMaxPicks = 3;
    std::vector<std::string> names = settings_.WaveList;
    for (int pick = 0; pick < kMaxPicks && !names.empty(); ++pick) {
        const size_t index = std::uniform_int_distribution<size_t>(0, names.size() - 1)(random_);
        try {
            settings_.ActiveWave->LoadFromFile(WaveFileToOpen(settings_, names[index]));
            return;
        } catch (const EWaveConfigError& e) {
            AddMessage(kWaveSkippedMessage + std::string(e.what()));
        }
        names.erase(names.begin() + std::ptrdiff_t(index));
    }
}

void TSaverShow::PrepareWave(int32_t baseWidth, int32_t baseHeight, float waveStartPos)
{
    baseWidth_ = baseWidth;
    baseHeight_ = baseHeight;
    waveStartPos_ = waveStartPos;
    preparedWave_ = CopyOf(*settings_.ActiveWave);
    shownWave_.reset();
    TWaveConfig& wave = *preparedWave_;
    if (settings_.OverrideDrawArea) {
        const int32_t oldWidth = wave.Width, oldHeight = wave.Height;
        wave.Width = settings_.OverallWidth;
        wave.Height = settings_.OverallHeight;
        wave.Rescale(float(oldWidth), float(oldHeight));
    }
    const int32_t oldWidth = wave.Width, oldHeight = wave.Height;
    // A raster needs at least one pixel: tiny bases or percentages still show something.
    wave.Width = std::max(1, PercentOf(wave.Width, baseWidth));
    wave.Height = std::max(1, PercentOf(baseHeight, wave.Height));
    wave.Rescale(float(oldWidth), float(oldHeight));
    wave.Pos = settings_.WaveStartMode == TWaveStartMode::wsRememberPosition ? waveStartPos : 0.0f;
}

void TSaverShow::BuildRastersAndWorld(int32_t width, int32_t height)
{
    primaryRaster_ = std::make_unique<TDIBRaster>(width, height);
    world_ = std::make_unique<TWorld3d>(ZeroPosition, float((-width - height) / 2), ZeroAngle,
                                        TScreenPoint{width / 2, height / 2});
    waveSystem_ = std::make_unique<TParticleWaves>();
    waveSystem_->Raster = primaryRaster_.get();
    waveSystem_->ApplyWaveConfig(ActiveWave());
}

void TSaverShow::BuildWaveParts()
{
    const TWaveConfig& wave = StartShownWave();
    const int32_t w = wave.Width, h = wave.Height;
    surface_.reset();
    BuildRastersAndWorld(w, h);
    secondaryRaster_ = std::make_unique<TDIBRaster>(w, h);
    for (TDIBRaster* raster : {primaryRaster_.get(), secondaryRaster_.get()}) {
        raster->Canvas().SetFont(OverlayFont());
        raster->Canvas().SetBrushColor(0);
        raster->Canvas().SetBrushStyle(TBrushStyle::bsSolid);
    }
    surface_ = std::make_unique<TDrawingSurface>(*primaryRaster_, *secondaryRaster_);
    overlayText_.reserve(256);
    world_->Add(waveSystem_.get());
    BuildTranslationMap();
}

void TSaverShow::BuildShow()
{
    // A rebuild (the window's size changed) lets go of the running items before their systems go.
    DropSequences();
    try {
        BuildWaveParts();
    } catch (const std::exception& e) {
        // Within the loader's limits a preset can still ask for more pixels than a raster
        // may have once its percentages meet a large screen.
        AddMessage(std::string(kWaveSkippedMessage) + "\"" + settings_.ActiveWave->Name + "\" cannot be drawn: " + e.what());
        SetBuiltInWave(*settings_.ActiveWave);
        PrepareWave(baseWidth_, baseHeight_, waveStartPos_);
        BuildWaveParts();
    }
    BuildLogo();
    const int32_t morphSteps = Saturated(int64_t(settings_.MorphDuration) * 50);
    logoMorph_ = std::make_unique<TParticleMorphing>(*waveSystem_, *logoSystem_, morphSteps);
    logoMorph_->Raster = primaryRaster_.get();
    logoMorph_->Rot = waveSystem_->Rot;
    world_->Add(logoMorph_.get());
    BuildText();
    textMorph_ = std::make_unique<TParticleMorphing>(*waveSystem_, *textSystem_, morphSteps);
    textMorph_->Raster = primaryRaster_.get();
    textMorph_->Rot = waveSystem_->Rot;
    world_->Add(textMorph_.get());
    BuildSequences();
}

void TSaverShow::BuildWaveAlone()
{
    DropSequences();
    BuildWaveParts();
    controler_ = std::make_unique<TSequenceControler>();
    sequences_.push_back(MakeWaveItem());
    controler_->Sequences().Add(sequences_.back().get());
    controler_->SetLoop(true);
    controler_->Start();
}

void TSaverShow::BuildTranslationMap()
{
    TWaveConfig& wave = ActiveWave();
    translationMap_.reset();
    if (!wave.TransMapFilter)
        return;
    const int32_t rw = primaryRaster_->Width(), rh = primaryRaster_->Height();
    translationMap_ = std::make_unique<TTranslationMap>(rw, rh);
    const int32_t cx = Saturated(int64_t(wave.ZoomCenterX) * rw / 100);
    const int32_t cy = Saturated(int64_t(wave.ZoomCenterY) * rh / 100);
    switch (wave.TransMapStyle) {
    case TTransMapStyle::tmsWaved:
        // The amplitudes are percentages of the raster; the preset in memory keeps pixels.
        for (size_t i = 0; i < 4; ++i) {
            wave.SinMagicParams[smrAmplitudesX][i] = float(rw) * wave.SinMagicParams[smrAmplitudesX][i] / 100.0f;
            wave.SinMagicParams[smrAmplitudesY][i] = float(rh) * wave.SinMagicParams[smrAmplitudesY][i] / 100.0f;
        }
        translationMap_->BuildShiftMap(wave.SinMagicParams);
        break;
    case TTransMapStyle::tmsWavedZoom:
    case TTransMapStyle::tmsWavedZoomOverlay:
        translationMap_->BuildZoomMap(wave.SinMagicParams, cx, cy,
                                      wave.TransMapStyle == TTransMapStyle::tmsWavedZoomOverlay);
        break;
    case TTransMapStyle::tmsWavedZoomCombined:
        translationMap_->BuildCombinedMap(wave.SinMagicParams, wave.SinMagicParams2, cx, cy);
        break;
    default:
        break; // an unknown style keeps the identity map
    }
}

void TSaverShow::BuildLogo()
{
    const TLogoConfig& logo = settings_.ActiveLogo;
    logoSystem_ = std::make_unique<TParticleSystem>();
    logoSystem_->Raster = primaryRaster_.get();
    logoSystem_->SetRenderMode(logo.RenderMode);
    logoSystem_->SetParticleCount(logo.ParticleCount);
    QImage picture;
    try {
        picture = LoadPicture(ResolveDataPath(logo.Path));
    } catch (const std::exception&) {
        AddMessage(kLogoFileErrorMessage + logo.Path);
    }
    {
        const auto sampled = RasterFromGraphic(picture);
        const float extentX = float(ActiveWave().Width * 2 / 3), extentY = float(ActiveWave().Height * 2 / 3);
        if (logo.Style == TLogoStyle::lsBitmap)
            logoSystem_->GridFromRaster(*sampled, extentX, extentY);
        else if (logo.Style == TLogoStyle::lsMask)
            logoSystem_->MaskFromRaster(*sampled, SwapRedBlue(logo.ColorMask), logo.Tolerance, extentX, extentY);
    }
    logoSystem_->Angle = logo.Angle;
    logoSystem_->Rot = logo.Rot;
    world_->Add(logoSystem_.get());
}

void TSaverShow::BuildText()
{
    const TTextConfig& text = settings_.ActiveText;
    int32_t s = std::min(primaryRaster_->Width(), primaryRaster_->Height());
    TFont font;
    font.Name = "Arial";
    font.Height = kDefaultTextFontHeight;
    if (!text.FontName.empty() && text.FontSize != 0) {
        font.Name = text.FontName;
        font.Height = FontHeightFromSize(text.FontSize);
        font.Style = text.FontStyle;
    }
    const int32_t fontHeight = std::abs(font.Height);
    s = s * 2 / 3;
    textSystem_ = std::make_unique<TParticleText>(font, 2 * s);
    textSystem_->Raster = primaryRaster_.get();
    textSystem_->SetRenderMode(text.RenderMode);
    textSystem_->Rot = text.Rot;
    textSystem_->Position = MakeVector3d(0, 0, float(s));
    textSystem_->Angle = text.Angle;
    textSystem_->SetText(text.Text);
    textSystem_->WrapOnCylinder(float(s), float(2 * fontHeight));
    TCanvas& canvas = textSystem_->DIB().Canvas();
    TFont coloured = canvas.Font();
    coloured.Color = text.Color;
    canvas.SetFont(coloured);
    canvas.SetBrushStyle(TBrushStyle::bsClear);
    world_->Add(textSystem_.get());
}

std::unique_ptr<TParticleSequence> TSaverShow::MakeSequence(bool morph, const std::string& name,
                                                            TParticleSystem& system, int32_t motionBlur,
                                                            bool smoothFilter, int32_t durationSeconds)
{
    std::unique_ptr<TParticleSequence> item =
        morph ? std::make_unique<TParticleMorphSequence>(name, controler_.get())
              : std::make_unique<TParticleSequence>(name, controler_.get());
    item->SetParticleSystem(&system);
    item->SetSurface(surface_.get());
    item->SetTranslationMap(translationMap_.get());
    item->MotionBlur = motionBlur;
    item->SmoothFilter = smoothFilter;
    item->SetDuration(Saturated(int64_t(durationSeconds) * 1000));
    return item;
}

std::unique_ptr<TParticleSequence> TSaverShow::MakeWaveItem()
{
    const TWaveConfig& wave = ActiveWave();
    auto item = MakeSequence(false, "Particle Wave : " + wave.Name, *waveSystem_, wave.MotionBlur, wave.SmoothFilter,
                             settings_.WaveDuration);
    item->TransMapFilter = wave.TransMapFilter;
    item->TransMapMode = wave.TransMapMode;
    return item;
}

void TSaverShow::DropSequences()
{
    // The controller first: it stops the items it lists as it goes.
    controler_.reset();
    sequences_.clear();
}
void TSaverShow::BuildSequences()
{
    const TWaveConfig& wave = ActiveWave();
    const TLogoConfig& logo = settings_.ActiveLogo;
    const TTextConfig& text = settings_.ActiveText;
    controler_ = std::make_unique<TSequenceControler>();

    auto waveItem = MakeWaveItem();
    auto logoMorphItem = MakeSequence(true, "Morphing Wave<>Logo", *logoMorph_, Average(wave.MotionBlur, logo.MotionBlur),
                                      wave.SmoothFilter, settings_.MorphDuration);
    auto logoItem = MakeSequence(false, "Particle Logo : " + logo.Name, *logoSystem_, logo.MotionBlur,
                                 logo.SmoothFilter, settings_.LogoDuration);
    auto textMorphItem = MakeSequence(true, "Morphing Wave<>Text", *textMorph_, Average(wave.MotionBlur, text.MotionBlur),
                                      wave.SmoothFilter, settings_.MorphDuration);
    auto textItem = MakeSequence(false, "Particle Text : " + text.Name, *textSystem_, text.MotionBlur,
                                 text.SmoothFilter, settings_.TextDuration);

    TSequenceView& list = controler_->Sequences();
    list.Add(waveItem.get());
    if (settings_.LogoEnabled) {
        list.Add(logoMorphItem.get());
        list.Add(logoItem.get());
        list.Add(logoMorphItem.get());
    }
    if (settings_.LogoEnabled && settings_.TextEnabled)
        list.Add(waveItem.get());
    if (settings_.TextEnabled) {
        list.Add(textMorphItem.get());
        list.Add(textItem.get());
        list.Add(textMorphItem.get());
    }
    for (auto* item : {&waveItem, &logoMorphItem, &logoItem, &textMorphItem, &textItem})
        sequences_.push_back(std::move(*item));
    controler_->SetLoop(true);
    controler_->Start();
}

void TSaverShow::BuildPreview(int32_t parentWidth, int32_t parentHeight)
{
    TWaveConfig& wave = StartShownWave();
    if (parentWidth > 0 && parentHeight > 0) {
        const int32_t oldWidth = wave.Width, oldHeight = wave.Height;
        wave.Width = parentWidth;
        wave.Height = parentHeight;
        wave.Rescale(float(oldWidth), float(oldHeight));
    }
    BuildRastersAndWorld(wave.Width, wave.Height);
    waveSystem_->SetParticleCount(wave.ParticleCount / 8 + 1);
    previewMotionBlur_ = wave.MotionBlur;
    world_->Add(waveSystem_.get());
}

void TSaverShow::StepPreview()
{
    try {
        world_->StepAll();
    } catch (const std::exception& failure) {
        ReportFrameFailure(failure);
    }
}

void TSaverShow::FadePreview() { primaryRaster_->Fade(uint8_t(previewMotionBlur_)); }

void TSaverShow::RenderFrame()
{
    try {
        controler_->Frame();
    } catch (const std::exception& failure) {
        ReportFrameFailure(failure);
        // Otherwise an item that fails on every frame would hold the show forever.
        try {
            const TSequence* item = controler_->Current();
            if (item && !item->IsRunning())
                controler_->Next();
        } catch (const std::exception& next) {
            ReportFrameFailure(next);
        }
    }
    DrawOverlay();
}

void TSaverShow::ReportFrameFailure(const std::exception& failure)
{
    // Messages begin with the raising class and operation, then " : ".
    const std::string text = failure.what();
    const std::string kind = text.substr(0, text.find(" : "));
    if (!reportedFailures_.insert(kind).second)
        return;
    std::fprintf(stderr, "lumenfall: %s%s\n", kFrameErrorMessage, text.c_str());
    AddMessage(kFrameErrorMessage + text);
}

std::string TSaverShow::CurrentItemName() const
{
    const TSequence* current = controler_ ? controler_->Current() : nullptr;
    return current ? current->Name() : std::string();
}

void TSaverShow::DrawOverlay()
{
    TDIBRaster& raster = surface_->Current();
    TCanvas& canvas = raster.Canvas();
    // The text is put together in a buffer kept from frame to frame.
    const TSequence* current = controler_->Current();
    const std::string_view name = current ? std::string_view(current->Name()) : std::string_view();
    if (ShowFPS) {
        overlayText_ = FormatFrameRate(controler_->FramesPerSecond());
        overlayText_ += ' ';
        if (ShowName)
            overlayText_ += name;
        canvas.TextOut(10, 10, overlayText_);
        if (controler_->FPSElapsed() > 5000)
            controler_->ResetFPS();
    } else if (ShowName) {
        canvas.TextOut(10, 10, name);
    }
    if (messageBlockHeight_ > 0 && (controler_->FrameCount() / kBlinkFrames) % 2 == 0) {
        const int32_t lineHeight = std::abs(kOverlayFontHeight);
        for (size_t i = 0; i < messages_.size(); ++i)
            canvas.TextOut(10, raster.Height() - messageBlockHeight_ + int32_t(i) * lineHeight, messages_[i]);
    }
}

void TSaverShow::AddMessage(const std::string& text)
{
    if (std::find(messages_.begin(), messages_.end(), text) != messages_.end())
        return;
    messages_.push_back(text);
    messageBlockHeight_ = std::abs(kOverlayFontHeight) * int32_t(messages_.size() + 1);
}

TDIBRaster* TSaverShow::Current() const
{
    if (surface_)
        return &surface_->Current();
    return primaryRaster_.get();
}

void TSaverShow::PresentFrame(QPainter& painter, const std::vector<TMonitor>& monitors, int32_t desktopWidth,
                              int32_t desktopHeight) const
{
    const TDIBRaster* raster = Current();
    if (!raster)
        return;
    // The preset's size: the raster may be a pixel larger after being made even.
    const int32_t w = ActiveWave().Width, h = ActiveWave().Height;
    ComposeFrame(settings_, w, h, monitors, desktopWidth, desktopHeight, presentOps_);
    for (const TPresentOp& op : presentOps_) {
        const QRect clip(op.Clip.Left, op.Clip.Top, op.Clip.Width, op.Clip.Height);
        const QRect dest = QRect(op.Dest.Left, op.Dest.Top, op.Dest.Width, op.Dest.Height).intersected(clip);
        // Black around the picture, without painting under it: the bands above and below
        // it, then those left and right of it.
        if (dest.isEmpty()) {
            painter.fillRect(clip, Qt::black);
        } else {
            painter.fillRect(QRect(clip.left(), clip.top(), clip.width(), dest.top() - clip.top()), Qt::black);
            painter.fillRect(QRect(clip.left(), dest.bottom() + 1, clip.width(), clip.bottom() - dest.bottom()),
                             Qt::black);
            painter.fillRect(QRect(clip.left(), dest.top(), dest.left() - clip.left(), dest.height()), Qt::black);
            painter.fillRect(QRect(dest.right() + 1, dest.top(), clip.right() - dest.right(), dest.height()),
                             Qt::black);
        }
        painter.save();
        painter.setClipRect(clip);
        if (op.Stretch)
            raster->StretchToDevice(painter, op.Source.Left, op.Source.Top, op.Source.Width, op.Source.Height,
                                    op.Dest.Left, op.Dest.Top, op.Dest.Width, op.Dest.Height, 3);
        else
            raster->CopyToDevice(painter, op.Source.Left, op.Source.Top, op.Dest.Left, op.Dest.Top,
                                 op.Source.Width, op.Source.Height);
        painter.restore();
    }
}
