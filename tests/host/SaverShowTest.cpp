#include "host/SaverShow.h"

#include "graphics/GfxTool.h"
#include "host/RenderCommand.h"
#include "host/ShowInstallation.h"
#include "kinds/ParticleMorphing.h"
#include "kinds/ParticleWaves.h"
#include "sequencing/LumenfallSequences.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

bool LitNear(const TDIBRaster& raster, int32_t x, int32_t y)
{
    for (int32_t dy = -1; dy <= 1; ++dy)
        for (int32_t dx = -1; dx <= 1; ++dx)
            if ((raster.GetPixel(x + dx, y + dy) & 0xFFFFFF) != 0)
                return true;
    return false;
}

int64_t CountPixels(const TDIBRaster& raster, int32_t top, int32_t bottom, TPixel colour)
{
    int64_t count = 0;
    for (int32_t y = top; y < bottom; ++y)
        for (int32_t x = 0; x < raster.Width(); ++x)
            count += (raster.GetPixel(x, y) & 0xFFFFFF) == colour;
    return count;
}

std::vector<std::string> ItemNames(TSaverShow& show)
{
    std::vector<std::string> names;
    const TSequenceView& list = show.Controler()->Sequences();
    for (int32_t i = 0; i < list.Count(); ++i)
        names.push_back(list.Items(i)->Name());
    return names;
}

} // namespace

TEST(SaverShow, ItemListFollowsTheEnabledParts)
{
    ShowInstallation installation;
    installation.wave.Name = "Circle";
    BuiltShow waveOnly(installation);
    EXPECT_EQ(ItemNames(waveOnly.show), std::vector<std::string>{"Particle Wave : _ActiveWave"});

    ShowInstallation full;
    full.settings.LogoEnabled = full.settings.TextEnabled = true;
    full.settings.ActiveLogo.Name = "Sun";
    full.settings.ActiveText.Name = "Hello";
    full.settings.MorphDuration = 4;
    BuiltShow all(full);
    EXPECT_EQ(ItemNames(all.show), (std::vector<std::string>{
                                       "Particle Wave : _ActiveWave", "Morphing Wave<>Logo", "Particle Logo : _ActiveLogo",
                                       "Morphing Wave<>Logo", "Particle Wave : _ActiveWave", "Morphing Wave<>Text",
                                       "Particle Text : _ActiveText", "Morphing Wave<>Text"}));
    auto* morphItem = dynamic_cast<TParticleSequence*>(all.show.Controler()->Sequences().Items(1));
    ASSERT_NE(morphItem, nullptr);
    EXPECT_EQ(static_cast<TParticleMorphing*>(morphItem->ParticleSystem())->Steps(), 200);
}

TEST(SaverShow, PresetSizesBecomePixelsOfTheBase)
{
    ShowInstallation installation;
    installation.wave.Width = 50;
    installation.wave.Height = 50;
    BuiltShow show(installation, 1024, 768);
    EXPECT_EQ(show.show.Current()->Width(), 512);
    EXPECT_EQ(show.show.Current()->Height(), 384);
    EXPECT_FLOAT_EQ(show.show.ActiveWave().Waves[0][waX].AMBase, 25.0f * 512 / 50);

    ShowInstallation overridden;
    overridden.settings.OverrideDrawArea = true;
    overridden.settings.OverallWidth = 25;
    overridden.settings.OverallHeight = 75;
    BuiltShow other(overridden, 1024, 768);
    EXPECT_EQ(other.show.Current()->Width(), 256);
    EXPECT_EQ(other.show.Current()->Height(), 576);
}

TEST(SaverShow, ShiftMapAmplitudesArePercentagesOfTheRaster)
{
    ShowInstallation installation;
    installation.wave.TransMapFilter = true;
    installation.wave.TransMapStyle = TTransMapStyle::tmsWaved;
    installation.wave.SinMagicParams[0][0] = 10;
    installation.wave.SinMagicParams[2][1] = 5;
    installation.wave.Width = 50;
    BuiltShow show(installation, 800, 600);
    EXPECT_FLOAT_EQ(show.show.ActiveWave().SinMagicParams[0][0], 40.0f);
    EXPECT_FLOAT_EQ(show.show.ActiveWave().SinMagicParams[2][1], 30.0f);
}

// The frames of a show from time 0, each as its pixels.
std::vector<std::vector<TPixel>> RunFrames(BuiltShow& built, int frames)
{
    std::vector<std::vector<TPixel>> pixels;
    for (int i = 0; i < frames; ++i) {
        built.now += 21;
        built.show.RenderFrame();
        const TDIBRaster& raster = *built.show.Current();
        std::vector<TPixel>& frame = pixels.emplace_back();
        for (int32_t y = 0; y < raster.Height(); ++y)
            for (int32_t x = 0; x < raster.Width(); ++x)
                frame.push_back(raster.GetPixel(x, y));
    }
    return pixels;
}

TEST(SaverShow, PreparingAndBuildingAgainGivesTheSameShowAndKeepsTheLoadedPreset)
{
    ShowInstallation installation;
    installation.wave.Width = 50;
    installation.wave.Height = 50;
    installation.wave.ParticleCount = 500;
    installation.wave.TransMapFilter = true;
    installation.wave.TransMapStyle = TTransMapStyle::tmsWaved;
    installation.wave.SinMagicParams[0][0] = 10;
    BuiltShow built(installation, 160, 120);
    const float amplitude = built.show.ActiveWave().Waves[0][waX].AMBase;
    EXPECT_FLOAT_EQ(built.show.ActiveWave().SinMagicParams[0][0], 8.0f);
    const auto first = RunFrames(built, 3);

    for (int again = 0; again < 2; ++again) {
        built.show.PrepareWave(160, 120, 0);
        built.now = 0;
        built.show.BuildShow();
        EXPECT_EQ(built.show.Current()->Width(), 80);
        EXPECT_FLOAT_EQ(built.show.ActiveWave().Waves[0][waX].AMBase, amplitude);
        EXPECT_FLOAT_EQ(built.show.ActiveWave().SinMagicParams[0][0], 8.0f);
        built.show.BuildShow();
        EXPECT_FLOAT_EQ(built.show.ActiveWave().SinMagicParams[0][0], 8.0f) << "converted to pixels twice";
        EXPECT_EQ(built.show.Messages().size(), 1u) << "the missing logo's line, once";
        EXPECT_TRUE(RunFrames(built, 3) == first) << "build " << again + 2 << " draws other frames";
        EXPECT_EQ(built.show.ItemCount(), 5u) << "a rebuild keeps the items it replaced";
    }
    const TWaveConfig& loaded = *built.show.Settings().ActiveWave;
    EXPECT_EQ(loaded.Width, 50);
    EXPECT_FLOAT_EQ(loaded.SinMagicParams[0][0], 10.0f);
}

TEST(SaverShow, AFrameHasParticlesWhereTheWavePutsThem)
{
    ShowInstallation installation;
    installation.wave.ParticleCount = 4;
    BuiltShow built(installation);
    built.now = 21;
    built.show.RenderFrame();
    const TDIBRaster& raster = *built.show.Current();
    // A circle of radius 25% of 400 pixels around the centre.
    EXPECT_TRUE(LitNear(raster, 300, 200));
    EXPECT_TRUE(LitNear(raster, 200, 300));
    EXPECT_TRUE(LitNear(raster, 100, 200));
    EXPECT_TRUE(LitNear(raster, 200, 100));
    EXPECT_FALSE(LitNear(raster, 200, 200));
}

TEST(SaverShow, OverlayTextAndBlinkingMessages)
{
    EXPECT_EQ(FormatFrameRate(47.619), "47.62");
    EXPECT_EQ(FormatFrameRate(0.5), ".50");
    EXPECT_EQ(FormatFrameRate(0), ".00");
    EXPECT_EQ(FormatFrameRate(123.456), "123.46");

    ShowInstallation installation;
    installation.wave.BaseGreen = installation.wave.BaseBlue = 0; // red particles, white text
    BuiltShow built(installation);
    // The missing logo picture of the installation already gave one line.
    built.show.AddMessage("Second line");
    built.show.AddMessage("Third line");
    EXPECT_EQ(built.show.MessageBlockHeight(), 52);
    const int32_t top = built.show.Current()->Height() - 52;
    std::vector<int64_t> white;
    for (int32_t frame = 1; frame <= 180; ++frame) {
        built.now += 21;
        built.show.RenderFrame();
        white.push_back(CountPixels(*built.show.Current(), top, top + 39, 0xFFFFFF));
    }
    EXPECT_GT(white[0], 20);   // frame 1
    EXPECT_GT(white[88], 20);  // frame 89
    EXPECT_EQ(white[89], 0);   // frame 90: hidden
    EXPECT_EQ(white[178], 0);  // frame 179
    EXPECT_GT(white[179], 20); // frame 180: shown again
}

TEST(SaverShow, ADamagedLogoGivesAMessageAndAnEmptyLogo)
{
    ShowInstallation installation;
    installation.settings.LogoEnabled = true;
    const fs::path damaged = installation.Folder() / "damaged.bmp";
    std::ofstream(damaged) << "BM this is no bitmap";
    installation.settings.ActiveLogo.Path = damaged.string();
    BuiltShow built(installation);
    ASSERT_EQ(built.show.Messages().size(), 1u);
    EXPECT_EQ(built.show.Messages()[0], "Logo System : File access error - " + damaged.string());
    for (int i = 0; i < 5; ++i) {
        built.now += 21;
        built.show.RenderFrame();
    }
}

TEST(SaverShow, NotInstalledWithoutTheMachineKey)
{
    TTemporaryHives hives("show-missing");
    TSaverShow show;
    EXPECT_FALSE(show.LoadSettings(1));
    EXPECT_FALSE(show.Installed());
}

TEST(SaverShow, CompositionOnTwoMonitors)
{
    const std::vector<TMonitor> monitors{{0, 0, 1920, 1080, true}, {1920, 0, 1280, 1024, false}};
    TBlankerSettings settings;
    settings.MultiMonitorMode = TMultiMonitorMode::mmAnimatePrimary;
    auto ops = ComposeFrame(settings, 960, 540, monitors, 3200, 1080);
    ASSERT_EQ(ops.size(), 1u);
    EXPECT_EQ(ops[0].Dest, (TArea{480, 270, 960, 540}));
    EXPECT_FALSE(ops[0].Stretch);

    settings.MultiMonitorMode = TMultiMonitorMode::mmAnimateEach;
    ops = ComposeFrame(settings, 960, 540, monitors, 3200, 1080);
    ASSERT_EQ(ops.size(), 2u);
    EXPECT_EQ(ops[1].Dest, (TArea{2080, 242, 960, 540}));
    EXPECT_EQ(ops[1].Clip, (TArea{1920, 0, 1280, 1024}));

    settings.OverrideDrawArea = true; // with StretchFullScr: stretched onto each monitor
    ops = ComposeFrame(settings, 960, 540, monitors, 3200, 1080);
    ASSERT_EQ(ops.size(), 2u);
    EXPECT_TRUE(ops[1].Stretch);
    EXPECT_EQ(ops[1].Dest, (TArea{1920, 0, 1280, 1024}));

    settings.MultiMonitorMode = TMultiMonitorMode::mmStretchOverAll;
    ops = ComposeFrame(settings, 960, 540, monitors, 3200, 1080);
    ASSERT_EQ(ops.size(), 2u);
    EXPECT_EQ(ops[0].Source, (TArea{0, 0, 576, 540}));
    EXPECT_EQ(ops[1].Source, (TArea{576, 0, 384, 512}));
    EXPECT_EQ(ops[1].Dest, (TArea{1920, 0, 1280, 1024}));

    settings.MultiMonitorMode = TMultiMonitorMode(3);
    EXPECT_TRUE(ComposeFrame(settings, 960, 540, monitors, 3200, 1080).empty());
}

TEST(SaverShow, PresentingCentresAndBlackensTheRest)
{
    ShowInstallation installation;
    installation.wave.Width = installation.wave.Height = 50;
    BuiltShow built(installation, 200, 100);
    built.show.Current()->FillRect({0, 0, 99, 49}, 0x123456);
    QImage screen(200, 100, QImage::Format_RGB32);
    screen.fill(Qt::white);
    {
        QPainter painter(&screen);
        built.show.PresentFrame(painter, {{0, 0, 200, 100, true}}, 200, 100);
    }
    EXPECT_EQ(screen.pixel(50, 25) & 0xFFFFFF, 0x123456u);
    EXPECT_EQ(screen.pixel(149, 74) & 0xFFFFFF, 0x123456u);
    EXPECT_EQ(screen.pixel(49, 25) & 0xFFFFFF, 0u);
    EXPECT_EQ(screen.pixel(150, 99) & 0xFFFFFF, 0u);
}

TEST(RenderCommand, SameSeedAndFramesGiveTheSameBytes)
{
    ShowInstallation installation;
    installation.settings.WaveRandomSelection = true;
    for (const char* name : {"One", "Two", "Three"}) {
        TWaveConfig preset;
        preset.Assign(installation.wave);
        preset.ParticleCount = int32_t(std::string(name).size()) * 100;
        preset.SaveToFile(installation.WavesFolder() + name + ".lmx");
    }
    installation.Install();
    auto render = [&](const std::string& file, const std::string& seed) {
        const std::string out = (installation.Folder() / file).string();
        EXPECT_EQ(RunRenderCommand({out, "--size", "320x200", "--frames", "12", "--seed", seed}), 0);
        std::ifstream in(out, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string first = render("a.png", "7"), second = render("b.png", "7");
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first, second);

    EXPECT_EQ(RunRenderCommand({(installation.Folder() / "frames/").string(), "--size", "64x48", "--frames", "3"}), 0);
    EXPECT_TRUE(fs::exists(installation.Folder() / "frames" / "frame00003.png"));
    const std::string video = (installation.Folder() / "show.y4m").string();
    EXPECT_EQ(RunRenderCommand({video, "--size", "64x48", "--frames", "2"}), 0);
    EXPECT_EQ(fs::file_size(video), std::string("YUV4MPEG2 W64 H48 F1000:21 Ip A1:1 C420jpeg XCOLORRANGE=FULL\n").size() +
                                         2 * (6 + 64 * 48 * 3 / 2));
}

TEST(RenderCommand, ArgumentsAreCheckedClearly)
{
    EXPECT_THROW(ParseRenderArguments({}), std::invalid_argument);
    EXPECT_THROW(ParseRenderArguments({"out.png", "--size", "12"}), std::invalid_argument);
    EXPECT_THROW(ParseRenderArguments({"out.png", "--frames", "0"}), std::invalid_argument);
    EXPECT_THROW(ParseRenderArguments({"out.png", "--bogus"}), std::invalid_argument);
    const TRenderOptions options = ParseRenderArguments({"out.png", "--size", "640x480", "--interval", "40"});
    EXPECT_EQ(options.Width, 640);
    EXPECT_EQ(options.Height, 480);
    EXPECT_EQ(options.IntervalMs, 40);
    EXPECT_EQ(options.Frames, 1);
    TTemporaryHives hives("render-missing");
    EXPECT_EQ(RunRenderCommand({(hives.Folder() / "x.png").string()}), 2);
    EXPECT_NE(RunRenderCommand({(hives.Folder() / "x.gif").string()}), 0);
}

TEST(SaverShow, ARandomPickOpensThePresetByItsRealFileName)
{
    ShowInstallation installation;
    installation.settings.WaveRandomSelection = true;
    TWaveConfig only;
    only.Assign(installation.wave);
    only.ParticleCount = 33;
    only.SaveToFile(installation.WavesFolder() + "Only.LMX");
    BuiltShow built(installation);
    EXPECT_EQ(built.show.ActiveWave().Name, "Only");
    EXPECT_EQ(built.show.ActiveWave().ParticleCount, 33);
}
