#pragma once
// The show of the saver, apart from any window: loading the settings with the random preset
// choices, the conversion of the wave preset's size, building the wave, logo and text
// systems with their morphs and the five show items, rendering one frame with its overlay,
// and composing a frame onto the monitors. The saver window, the preview and the headless
// renderer own one and feed it the clock and their monitors.

#include "persistence/SettingsStore.h"

#include <cstdint>
#include <exception>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

class QPainter;
class TDIBRaster;
class TDrawingSurface;
class TParticleMorphSequence;
class TParticleMorphing;
class TParticleSequence;
class TParticleSystem;
class TParticleText;
class TParticleWaves;
class TSequenceControler;
class TTranslationMap;
class TWaveConfig;
class TWorld3d;

inline constexpr const char* kNotInstalledMessage = "Lumenfall is not installed. Please run the setup program.";
inline constexpr const char* kScreenModeMessage = "Error : Could not change screen mode!";
inline constexpr const char* kLogoFileErrorMessage = "Logo System : File access error - ";
// Followed by the exception's text.
inline constexpr const char* kFrameErrorMessage = "Frame error : ";
// Followed by the reason, which names the preset's file or key.
inline constexpr const char* kWaveSkippedMessage = "Wave System : Preset skipped - ";

// A monitor's rectangle relative to the top-left corner of the virtual desktop.
struct TMonitor {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Width = 0;
    int32_t Height = 0;
    bool Primary = false;
};

struct TArea {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Width = 0;
    int32_t Height = 0;
    bool operator==(const TArea&) const = default;
};

// One copy of the frame onto one monitor: Source of the raster onto Dest, scaled when the
// sizes differ (nearest pixel), nothing drawn outside Clip (the monitor).
struct TPresentOp {
    TArea Source;
    TArea Dest;
    TArea Clip;
    bool Stretch = false;
    bool operator==(const TPresentOp&) const = default;
};

// Which part of a raster of w x h goes where on each monitor, by MultiMonitorMode.
std::vector<TPresentOp> ComposeFrame(const TBlankerSettings& settings, int32_t rasterWidth, int32_t rasterHeight,
                                     const std::vector<TMonitor>& monitors, int32_t desktopWidth,
                                     int32_t desktopHeight);
// The same into ops, whose memory is reused from frame to frame.
void ComposeFrame(const TBlankerSettings& settings, int32_t rasterWidth, int32_t rasterHeight,
                  const std::vector<TMonitor>& monitors, int32_t desktopWidth, int32_t desktopHeight,
                  std::vector<TPresentOp>& ops);

// The frame-rate text: two decimals, no leading zero ("47.62", ".50").
std::string FormatFrameRate(double framesPerSecond);

// "WaveStartPos" of the user's settings, 0 when it cannot be read.
float ReadWaveStartPos();
// Stores the wave's position as "WaveStartPos" when the user's settings key exists.
void StoreWaveStartPos(float pos);

class TSaverShow {
public:
    TSaverShow();
    ~TSaverShow();
    TSaverShow(const TSaverShow&) = delete;
    TSaverShow& operator=(const TSaverShow&) = delete;

    // Loads the settings and makes the random preset choices with a generator seeded by
    // seed. False when the product is not installed; the show then shows the message of
    // NotInstalledMessage and nothing is built. A wave preset that cannot be read or breaks
    // the limits becomes a message line and is skipped: another random pick, then the
    // active wave, then the built-in one.
    bool LoadSettings(uint32_t seed);
    bool Installed() const { return installed_; }
    TBlankerSettings& Settings() { return settings_; }
    // The wave as shown. Settings().ActiveWave stays as loaded and the show works on copies of
    // it, so that preparing or building again gives the same show: sized by PrepareWave,
    // fitted to the parent by BuildPreview, with its translation-map amplitudes in pixels of
    // the raster after BuildShow; the loaded preset itself before any of these.
    TWaveConfig& ActiveWave();
    const TWaveConfig& ActiveWave() const;

    // Turns a copy of the wave preset's size into pixels of the given base size (overriding
    // it with the global percentages first when asked to) and sets its start position.
    void PrepareWave(int32_t baseWidth, int32_t baseHeight, float waveStartPos);

    // The whole show: rasters, surface, world, wave, translation map, logo, text, morphs
    // and the looping list of items. A logo picture that cannot be read becomes a message
    // line and an empty logo; a wave too large to draw becomes a message line and the
    // built-in wave.
    void BuildShow();
    // The wave alone, drawn frame by frame as in the show (filters, translation map), for
    // pictures of a preset. Unlike BuildShow, a wave too large to draw raises.
    void BuildWaveAlone();
    // The preview: the wave alone with an eighth of its particles plus one, sized to the
    // parent's area when one is given (width and height above 0).
    void BuildPreview(int32_t parentWidth, int32_t parentHeight);

    // One frame of the show: the controller's frame, then the overlay. A frame that fails
    // is dropped and the next one tried; the first failure of each kind (the raising
    // operation) goes to standard error and becomes a message line. A failing item still
    // ends on time.
    void RenderFrame();
    // One frame of the preview: step the wave; after presenting, FadePreview.
    void StepPreview();
    void FadePreview();

    // A line of the blinking message block; a text already there is not repeated, so that
    // building the show again does not add its messages a second time.
    void AddMessage(const std::string& text);
    const std::vector<std::string>& Messages() const { return messages_; }
    int32_t MessageBlockHeight() const { return messageBlockHeight_; }

    bool ShowFPS = false;
    bool ShowName = false;

    // The raster to show; null before building.
    TDIBRaster* Current() const;
    TParticleWaves* WaveSystem() const { return waveSystem_.get(); }
    TSequenceControler* Controler() const { return controler_.get(); }
    // The items the show owns: those of the last build only.
    size_t ItemCount() const { return sequences_.size(); }
    // The current item's name, empty when there is none.
    std::string CurrentItemName() const;

    // Draws the current frame onto the monitors of a painter covering the virtual desktop.
    void PresentFrame(QPainter& painter, const std::vector<TMonitor>& monitors, int32_t desktopWidth,
                      int32_t desktopHeight) const;

private:
    void PickRandomWave();
    // A fresh copy of the prepared preset (the loaded one without PrepareWave) to build on.
    TWaveConfig& StartShownWave();
    void BuildRastersAndWorld(int32_t width, int32_t height);
    void BuildWaveParts();
    void BuildTranslationMap();
    void BuildLogo();
    void BuildText();
    // Stops and frees the previous build's controller and items.
    void DropSequences();
    void BuildSequences();
    std::unique_ptr<TParticleSequence> MakeWaveItem();
    std::unique_ptr<TParticleSequence> MakeSequence(bool morph, const std::string& name, TParticleSystem& system,
                                                    int32_t motionBlur, bool smoothFilter, int32_t durationSeconds);
    void DrawOverlay();
    void ReportFrameFailure(const std::exception& failure);

    std::mt19937 random_;
    TBlankerSettings settings_;
    bool installed_ = false;
    // What PrepareWave was given, for preparing the built-in wave in a failed one's place.
    int32_t baseWidth_ = 320, baseHeight_ = 240;
    float waveStartPos_ = 0;
    std::unique_ptr<TWaveConfig> preparedWave_, shownWave_;

    std::unique_ptr<TDIBRaster> primaryRaster_, secondaryRaster_;
    std::unique_ptr<TDrawingSurface> surface_;
    std::unique_ptr<TWorld3d> world_;
    std::unique_ptr<TParticleWaves> waveSystem_;
    std::unique_ptr<TTranslationMap> translationMap_;
    std::unique_ptr<TParticleSystem> logoSystem_;
    std::unique_ptr<TParticleMorphing> logoMorph_;
    std::unique_ptr<TParticleText> textSystem_;
    std::unique_ptr<TParticleMorphing> textMorph_;
    std::unique_ptr<TSequenceControler> controler_;
    std::vector<std::unique_ptr<TParticleSequence>> sequences_;
    int32_t previewMotionBlur_ = 0;

    std::vector<std::string> messages_;
    int32_t messageBlockHeight_ = 0;
    std::set<std::string> reportedFailures_;
    // The overlay's text and the copies onto the monitors, kept from frame to frame.
    std::string overlayText_;
    mutable std::vector<TPresentOp> presentOps_;
};
