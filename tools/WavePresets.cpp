#include "WavePresets.h"

// Units: Width and Height are percent of the screen, and so are the wave amplitudes (X of
// the screen's width, Y of its height, Z of their mean). The eye stands (Width + Height) / 2
// of those Z units in front of the figure, so depth towards the viewer magnifies. A figure
// that tumbles must fit a sphere of about 45% of the screen's height on every screen shape;
// wide figures stay flat or turn about one axis only.
//
// Translation maps: "Wave Shift" amplitudes are percent of the raster (per frame, so tenths
// already stream), zoom amplitudes are zoom factors per frame (hundredths), and the zoom
// centre is percent of the drawing area.

namespace {

using Preset = std::unique_ptr<TWaveConfig>;

TWaveComponent Wave(float phase, float amBase, float amAmplitude, float amFrequency, float fmBase,
                    float fmAmplitude = 0, float fmFrequency = 0)
{
    return TWaveComponent{phase, amBase, amAmplitude, amFrequency, fmBase, fmAmplitude, fmFrequency};
}

// One colour channel: Base + Amp * sin(Freq cycles along the chain + Pos * Shift).
struct ColourWave {
    float Base;
    float Amp;
    float Freq;
    float Shift;
};

Preset NewPreset(const char* name, int32_t particles, TRenderMode mode, int32_t motionBlur, float speed)
{
    auto w = std::make_unique<TWaveConfig>();
    w->Name = name;
    w->ParticleCount = particles;
    w->RenderMode = mode;
    w->MotionBlur = motionBlur;
    w->Speed = speed;
    w->Width = 100;
    w->Height = 100;
    w->ZoomCenterX = 50;
    w->ZoomCenterY = 50;
    return w;
}

void SetColours(TWaveConfig& w, ColourWave red, ColourWave green, ColourWave blue)
{
    w.BaseRed = red.Base;
    w.AmpRed = red.Amp;
    w.FreqRed = red.Freq;
    w.ShiftRed = red.Shift;
    w.BaseGreen = green.Base;
    w.AmpGreen = green.Amp;
    w.FreqGreen = green.Freq;
    w.ShiftGreen = green.Shift;
    w.BaseBlue = blue.Base;
    w.AmpBlue = blue.Amp;
    w.FreqBlue = blue.Freq;
    w.ShiftBlue = blue.Shift;
}

// Rows: X amplitudes, X frequencies, Y amplitudes, Y frequencies.
void SetTranslationMap(TWaveConfig& w, TTransMapStyle style, TTransMapMode mode, const TSinMagicParams& params,
                       const TSinMagicParams& zoomParams = {})
{
    w.TransMapFilter = true;
    w.TransMapStyle = style;
    w.TransMapMode = mode;
    w.SinMagicParams = params;
    w.SinMagicParams2 = zoomParams;
}

// The default: a tumbling knot of many colours.
Preset IntroSystem()
{
    auto w = NewPreset("Intro System", 9000, TRenderMode::rmDrawMixMode, 4, 0.35f);
    w->Waves[0][waX] = Wave(90, 15, 3, 7, 2, 0.02f, 3);
    w->Waves[0][waY] = Wave(0, 23, 4, 5, 3, 0.02f, 2);
    w->Waves[0][waZ] = Wave(0, 13, 5, 4, 5);
    w->Waves[1][waX] = Wave(0, 4, 2, 11, 9, 1, 2);
    w->Waves[1][waY] = Wave(45, 5, 3, 13, 9, 1, 3);
    SetColours(*w, {150, 120, 2, 0.04f}, {110, 110, 3, 0.07f}, {190, 80, 1, 0.03f});
    w->Rot = {0.15f, 0.35f, 0.1f};
    return w;
}

// A wide ribbon folded back on itself, turning slowly about the vertical axis.
Preset SilkRibbon()
{
    auto w = NewPreset("Silk Ribbon", 12000, TRenderMode::rmDrawMixMode, 5, 0.2f);
    w->Waves[0][waX] = Wave(90, 34, 0, 0, 1);
    w->Waves[0][waY] = Wave(0, 10, 6, 3, 4, 1, 2);
    w->Waves[0][waZ] = Wave(0, 14, 6, 2, 2);
    w->Waves[1][waY] = Wave(30, 5, 3, 5, 9, 0.5f, 4);
    SetColours(*w, {60, 60, 1, 0.02f}, {140, 110, 2, 0.05f}, {200, 55, 3, 0.03f});
    w->Rot = {0.0f, 0.2f, 0.0f};
    return w;
}

// A slowly breathing rose that turns in the screen's plane, with long trails.
Preset DeepBreath()
{
    auto w = NewPreset("Deep Breath", 8000, TRenderMode::rmDraw, 7, 0.08f);
    w->Waves[0][waX] = Wave(90, 14, 4, 3, 1);
    w->Waves[0][waY] = Wave(0, 25, 7, 3, 1);
    w->Waves[1][waX] = Wave(90, 6, 4, 5, 6, 0.05f, 2);
    w->Waves[1][waY] = Wave(0, 11, 7, 5, 6, 0.05f, 2);
    w->Waves[0][waZ] = Wave(0, 5, 3, 2, 3);
    SetColours(*w, {60, 60, 2, 0.02f}, {120, 80, 3, 0.03f}, {220, 35, 1, 0.01f});
    w->Rot = {0.0f, 0.0f, 0.12f};
    return w;
}

// A fast wheel of eight loops in stars that pulses, spins and changes colour quickly; the
// stars are far enough apart to leave dotted, sparkling trails.
Preset Sparkler()
{
    auto w = NewPreset("Sparkler", 3500, TRenderMode::rmDrawStars, 4, 1.0f);
    w->Waves[0][waX] = Wave(90, 13, 3, 9, 1);
    w->Waves[0][waY] = Wave(0, 23, 5, 9, 1);
    w->Waves[1][waX] = Wave(11.25f, 5.5f, 3, 13, 8, 0.5f, 7);
    w->Waves[1][waY] = Wave(0, 10, 5, 13, 8, 0.5f, 7);
    w->Waves[0][waZ] = Wave(0, 9, 4, 11, 3);
    SetColours(*w, {170, 85, 3, 0.5f}, {170, 85, 2, 0.7f}, {170, 85, 1, 0.9f});
    w->Rot = {0.3f, 0.2f, 1.5f};
    return w;
}

// Curtains of light across the whole width: two close ray frequencies beat into folds that
// drift as one of them wanders. The colours run with the rays, green at their lower ends
// (screen Y grows downward) and violet at the upper; smoothing softens them.
Preset AuroraVeil()
{
    auto w = NewPreset("Aurora Veil", 16000, TRenderMode::rmDrawMixMode, 4, 0.12f);
    w->SmoothFilter = true;
    w->Waves[0][waX] = Wave(90, 38, 3, 2, 1);
    w->Waves[0][waY] = Wave(0, 8, 3, 3, 2, 0.5f, 2);
    w->Waves[1][waY] = Wave(0, 8, 3, 2, 241);
    w->Waves[2][waY] = Wave(0, 8, 3, 3, 247, 0.5f, 3);
    w->Waves[0][waZ] = Wave(0, 10, 4, 2, 3);
    SetColours(*w, {110, -100, 241, 0}, {150, 110, 241, 0}, {170, -70, 241, 0});
    w->Rot = {0.0f, 0.06f, 0.0f};
    return w;
}

// A torus knot of embers that glows through smoothing and long trails.
Preset EmberGlow()
{
    auto w = NewPreset("Ember Glow", 20000, TRenderMode::rmDrawMixMode, 6, 0.15f);
    w->SmoothFilter = true;
    w->Waves[0][waX] = Wave(90, 14, 2, 3, 2);
    w->Waves[1][waX] = Wave(90, 5, 2, 5, 5);
    w->Waves[0][waY] = Wave(0, 24, 3, 3, 2);
    w->Waves[1][waY] = Wave(0, 8, 3, 4, 5);
    w->Waves[0][waZ] = Wave(0, 9, 3, 2, 5);
    SetColours(*w, {230, 25, 1, 0.05f}, {110, 70, 2, 0.08f}, {30, 30, 3, 0.1f});
    w->Rot = {0.1f, 0.25f, 0.05f};
    return w;
}

// A torus of thirty-seven coils in fine dots, tumbling slowly.
Preset CrystalCoil()
{
    auto w = NewPreset("Crystal Coil", 40000, TRenderMode::rmDraw, 1, 0.1f);
    w->Waves[0][waX] = Wave(90, 17, 2, 2, 1);
    w->Waves[0][waY] = Wave(0, 30, 3, 2, 1);
    w->Waves[1][waX] = Wave(90, 6, 2, 3, 37, 0.02f, 1);
    w->Waves[1][waY] = Wave(0, 10.5f, 3.5f, 3, 37, 0.02f, 1);
    w->Waves[0][waZ] = Wave(0, 6, 4, 3, 37);
    SetColours(*w, {170, 85, 3, 0.05f}, {210, 45, 2, 0.04f}, {255, 0, 1, 0});
    w->Rot = {0.2f, 0.3f, 0.1f};
    return w;
}

// Trails that circle the centre like stirred water; particles drawn on top.
Preset LilacEddy()
{
    auto w = NewPreset("Lilac Eddy", 8000, TRenderMode::rmDrawMixMode, 5, 0.25f);
    w->Waves[0][waX] = Wave(90, 16, 4, 3, 2);
    w->Waves[0][waY] = Wave(0, 27, 5, 4, 3);
    w->Waves[0][waZ] = Wave(0, 11, 4, 3, 4);
    SetColours(*w, {190, 65, 2, 0.05f}, {170, 60, 3, 0.03f}, {230, 25, 1, 0.04f});
    w->Rot = {0.1f, 0.2f, 0.05f};
    // Columns stream up on the left and down on the right, rows right at the top and left
    // at the bottom: one clockwise eddy.
    SetTranslationMap(*w, TTransMapStyle::tmsWaved, TTransMapMode::tmmApplyBefore,
                      {{{0.25f, 0.08f, 0, 0}, {1, 3, 0, 0}, {-0.45f, -0.12f, 0, 0}, {1, 3, 0, 0}}});
    return w;
}

// A flame: the whole picture, particles included, rises fastest in the middle (half a sine
// across the width keeps one direction) and flickers sideways.
Preset CandleFlame()
{
    auto w = NewPreset("Candle Flame", 8000, TRenderMode::rmDrawMixMode, 5, 0.3f);
    w->Waves[0][waX] = Wave(90, 10, 3, 3, 1);
    w->Waves[1][waX] = Wave(0, 4, 2, 7, 7, 1, 2);
    w->Waves[0][waY] = Wave(0, 14, 4, 2, 2);
    w->Waves[1][waY] = Wave(90, 6, 3, 5, 7, 1, 3);
    w->Waves[0][waZ] = Wave(0, 8, 3, 4, 3);
    SetColours(*w, {250, 5, 1, 0}, {150, 90, 2, 0.06f}, {40, 40, 3, 0.08f});
    w->Rot = {0.05f, 0.4f, 0.1f};
    SetTranslationMap(*w, TTransMapStyle::tmsWaved, TTransMapMode::tmmApplyAfter,
                      {{{0.5f, 0, 0, 0}, {0.5f, 0, 0, 0}, {0.12f, 0.06f, 0, 0}, {3, 7, 0, 0}}});
    return w;
}

// Stars that rush out of the centre, as down a tunnel.
Preset WarpTunnel()
{
    auto w = NewPreset("Warp Tunnel", 3000, TRenderMode::rmDrawStars, 5, 0.5f);
    w->Waves[0][waX] = Wave(90, 8, 3, 3, 1, 0.2f, 2);
    w->Waves[1][waX] = Wave(0, 3, 2, 5, 13, 3, 2);
    w->Waves[0][waY] = Wave(0, 14, 5, 3, 1, 0.2f, 2);
    w->Waves[1][waY] = Wave(0, 5, 3, 5, 13, 3, 3);
    w->Waves[0][waZ] = Wave(0, 8, 3, 2, 7);
    SetColours(*w, {170, 85, 1, 0.1f}, {190, 65, 2, 0.13f}, {240, 15, 3, 0.07f});
    w->Rot = {0.0f, 0.0f, 0.6f};
    SetTranslationMap(*w, TTransMapStyle::tmsWavedZoom, TTransMapMode::tmmApplyBefore,
                      {{{0.02f, 0.006f, 0, 0}, {0, 3, 0, 0}, {0.02f, 0.006f, 0, 0}, {0, 2, 0, 0}}});
    return w;
}

// A cloud that billows outward in soft colours.
Preset Nebula()
{
    auto w = NewPreset("Nebula", 10000, TRenderMode::rmDrawMixMode, 5, 0.2f);
    w->Waves[0][waX] = Wave(90, 12, 4, 3, 2, 0.3f, 2);
    w->Waves[0][waY] = Wave(0, 21, 7, 2, 3, 0.3f, 3);
    w->Waves[1][waX] = Wave(0, 4, 3, 5, 11, 2, 2);
    w->Waves[1][waY] = Wave(0, 7, 4, 4, 11, 2, 3);
    w->Waves[0][waZ] = Wave(0, 10, 4, 3, 5);
    SetColours(*w, {180, 75, 1, 0.04f}, {80, 80, 2, 0.05f}, {200, 55, 1, 0.03f});
    w->Rot = {0.1f, 0.15f, 0.1f};
    SetTranslationMap(*w, TTransMapStyle::tmsWavedZoom, TTransMapMode::tmmApplyAfter,
                      {{{0.008f, 0.004f, 0, 0}, {0, 2, 0, 0}, {0.008f, 0.004f, 0, 0}, {0, 3, 0, 0}}});
    return w;
}

// A five-petalled rose turning in the screen's plane; the zoom, one amount for both axes
// made of rows and columns, unfolds its trails outward like opening petals.
Preset PetalBloom()
{
    auto w = NewPreset("Petal Bloom", 6000, TRenderMode::rmDrawMixMode, 5, 0.3f);
    // r = cos(5 phi): x = (cos 6t + cos 4t) / 2, y = (sin 6t - sin 4t) / 2.
    w->Waves[0][waX] = Wave(15, 7, 2, 3, 6);
    w->Waves[1][waX] = Wave(22.5f, 7, 2, 3, 4);
    w->Waves[0][waY] = Wave(0, 12.5f, 3.5f, 3, 6);
    w->Waves[1][waY] = Wave(45, 12.5f, 3.5f, 3, 4);
    w->Waves[0][waZ] = Wave(0, 5, 3, 4, 5);
    SetColours(*w, {240, 15, 5, 0.06f}, {120, 100, 10, 0.08f}, {180, 75, 5, 0.05f});
    w->Rot = {0.0f, 0.0f, -0.4f};
    SetTranslationMap(*w, TTransMapStyle::tmsWavedZoomOverlay, TTransMapMode::tmmApplyBefore,
                      {{{0.01f, 0.006f, 0, 0}, {0, 4, 0, 0}, {0.01f, 0.006f, 0, 0}, {0, 4, 0, 0}}});
    return w;
}

// A ring of white and blue fire whose glow streams outward like a corona.
Preset Corona()
{
    auto w = NewPreset("Corona", 8000, TRenderMode::rmDrawMixMode, 5, 0.4f);
    w->Waves[0][waX] = Wave(90, 10, 1, 3, 1);
    w->Waves[0][waY] = Wave(0, 18, 2, 3, 1);
    w->Waves[1][waX] = Wave(90, 1.5f, 1, 5, 13, 1, 2);
    w->Waves[1][waY] = Wave(0, 2.5f, 1.5f, 5, 13, 1, 3);
    w->Waves[0][waZ] = Wave(0, 2, 1, 4, 5);
    SetColours(*w, {150, 105, 3, 0.1f}, {160, 95, 2, 0.13f}, {255, 0, 1, 0});
    w->Rot = {0.0f, 0.0f, 0.3f};
    SetTranslationMap(*w, TTransMapStyle::tmsWavedZoomOverlay, TTransMapMode::tmmApplyAfter,
                      {{{0.008f, 0.004f, 0, 0}, {0, 6, 0, 0}, {0.008f, 0.004f, 0, 0}, {0, 4, 0, 0}}});
    return w;
}

// A galaxy: trails circle the centre and drift outward into spiral arms.
Preset Vortex()
{
    auto w = NewPreset("Vortex", 6000, TRenderMode::rmDrawStars, 5, 0.35f);
    w->Waves[0][waX] = Wave(90, 10, 4, 3, 2, 0.2f, 2);
    w->Waves[0][waY] = Wave(0, 18, 6, 3, 3, 0.2f, 3);
    w->Waves[1][waX] = Wave(0, 4, 2, 5, 9);
    w->Waves[1][waY] = Wave(90, 7, 3, 5, 9);
    w->Waves[0][waZ] = Wave(0, 10, 4, 3, 4);
    SetColours(*w, {240, 15, 1, 0.07f}, {150, 90, 2, 0.05f}, {120, 110, 3, 0.09f});
    w->Rot = {0.1f, 0.1f, 0.5f};
    SetTranslationMap(*w, TTransMapStyle::tmsWavedZoomCombined, TTransMapMode::tmmApplyBefore,
                      {{{0.3f, 0, 0, 0}, {1, 0, 0, 0}, {-0.5f, 0, 0, 0}, {1, 0, 0, 0}}},
                      {{{0.004f, 0, 0, 0}, {0, 0, 0, 0}, {0.004f, 0, 0, 0}, {0, 0, 0, 0}}});
    return w;
}

// A whirlpool: a wide ring whose trails, particles included, turn and sink into the centre.
Preset Maelstrom()
{
    auto w = NewPreset("Maelstrom", 8000, TRenderMode::rmDrawMixMode, 6, 0.3f);
    w->Waves[0][waX] = Wave(90, 19, 2, 2, 1);
    w->Waves[0][waY] = Wave(0, 33, 3, 2, 1);
    w->Waves[1][waX] = Wave(0, 3, 2, 5, 8, 1, 2);
    w->Waves[1][waY] = Wave(0, 5, 3, 5, 8, 1, 3);
    w->Waves[0][waZ] = Wave(0, 4, 2, 3, 3);
    SetColours(*w, {60, 60, 2, 0.04f}, {150, 100, 1, 0.06f}, {220, 35, 1, 0.03f});
    w->Rot = {0.0f, 0.0f, 0.3f};
    SetTranslationMap(*w, TTransMapStyle::tmsWavedZoomCombined, TTransMapMode::tmmApplyAfter,
                      {{{-0.4f, 0, 0, 0}, {1, 0, 0, 0}, {0.7f, 0, 0, 0}, {1, 0, 0, 0}}},
                      {{{-0.008f, 0, 0, 0}, {0, 0, 0, 0}, {-0.008f, 0, 0, 0}, {0, 0, 0, 0}}});
    return w;
}

} // namespace

std::vector<Preset> MakeShippedWavePresets()
{
    std::vector<Preset> presets;
    for (Preset (*make)() : {IntroSystem, SilkRibbon, DeepBreath, Sparkler, AuroraVeil, EmberGlow, CrystalCoil,
                             LilacEddy, CandleFlame, WarpTunnel, Nebula, PetalBloom, Corona, Vortex,
                             Maelstrom})
        presets.push_back(make());
    return presets;
}
