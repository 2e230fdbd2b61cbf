#include "WavePresets.h"

namespace {

using Preset = std::unique_ptr<TWaveConfig>;

// Sizes are percent of the screen; amplitudes are in the same units as Width and Height.
TWaveComponent Wave(float phase, float amBase, float amAmplitude, float amFrequency, float fmBase,
                    float fmAmplitude = 0, float fmFrequency = 0)
{
    return TWaveComponent{phase, amBase, amAmplitude, amFrequency, fmBase, fmAmplitude, fmFrequency};
}

Preset IntroSystem()
{
    auto w = std::make_unique<TWaveConfig>();
    w->Name = "Intro System";
    w->ParticleCount = 6000;
    w->MotionBlur = 3;
    w->RenderMode = TRenderMode::rmDrawMixMode;
    w->Width = 80;
    w->Height = 80;
    w->Speed = 0.35f;
    w->Waves[0][waX] = Wave(90, 28, 6, 7, 2, 0.02f, 3);
    w->Waves[0][waY] = Wave(0, 28, 6, 5, 3, 0.02f, 2);
    w->Waves[0][waZ] = Wave(0, 20, 8, 4, 5);
    w->Waves[1][waX] = Wave(0, 6, 4, 11, 9, 1, 2);
    w->Waves[1][waY] = Wave(45, 6, 4, 13, 9, 1, 3);
    w->BaseRed = 150;
    w->AmpRed = 120;
    w->FreqRed = 2;
    w->ShiftRed = 0.04f;
    w->BaseGreen = 110;
    w->AmpGreen = 110;
    w->FreqGreen = 3;
    w->ShiftGreen = 0.07f;
    w->BaseBlue = 190;
    w->AmpBlue = 80;
    w->FreqBlue = 1;
    w->ShiftBlue = 0.03f;
    w->Rot = {0.15f, 0.35f, 0.1f};
    return w;
}

Preset SilkRibbon()
{
    auto w = std::make_unique<TWaveConfig>();
    w->Name = "Silk Ribbon";
    w->ParticleCount = 12000;
    w->MotionBlur = 5;
    w->RenderMode = TRenderMode::rmDrawMixMode;
    w->Width = 90;
    w->Height = 70;
    w->Speed = 0.2f;
    w->Waves[0][waX] = Wave(90, 40, 0, 0, 1);
    w->Waves[0][waY] = Wave(0, 14, 10, 3, 4, 1, 2);
    w->Waves[0][waZ] = Wave(0, 25, 10, 2, 2);
    w->Waves[1][waY] = Wave(30, 8, 6, 5, 9, 0.5f, 4);
    w->BaseRed = 60;
    w->AmpRed = 60;
    w->FreqRed = 1;
    w->ShiftRed = 0.02f;
    w->BaseGreen = 140;
    w->AmpGreen = 110;
    w->FreqGreen = 2;
    w->ShiftGreen = 0.05f;
    w->BaseBlue = 200;
    w->AmpBlue = 55;
    w->FreqBlue = 3;
    w->ShiftBlue = 0.03f;
    w->Rot = {0.05f, 0.2f, 0.0f};
    return w;
}

} // namespace

std::vector<Preset> MakeShippedWavePresets()
{
    std::vector<Preset> presets;
    presets.push_back(IntroSystem());
    presets.push_back(SilkRibbon());
    return presets;
}
