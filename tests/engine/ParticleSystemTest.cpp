#include "engine/ParticleSystem.h"

#include <gtest/gtest.h>

#include <QImage>

#include <limits>
#include <memory>
#include <set>
#include <string>
#include <utility>

namespace {

int32_t Red(TPixel p) { return int32_t((p >> 16) & 0xFF); }
int32_t Green(TPixel p) { return int32_t((p >> 8) & 0xFF); }
int32_t Blue(TPixel p) { return int32_t(p & 0xFF); }

// The viewer of a 640 x 480 area, as the saver sets it up.
TWorld3d MakeWorld() { return TWorld3d(ZeroPosition, -560.0f, ZeroAngle, {320, 240}); }

int64_t LitPixels(const TDIBRaster& raster)
{
    int64_t lit = 0;
    for (int64_t i = 0; i < raster.PixelCount(); ++i)
        lit += raster.Bits()[i] != 0;
    return lit;
}

// A system plotting the given screen points, without going through a world.
struct TPlotFixture {
    TDIBRaster Raster{8, 6};
    TParticleSystem System;

    TPlotFixture(std::initializer_list<TScreenPoint> points, TRenderMode mode)
    {
        System.SetParticleCount(int32_t(points.size()));
        int32_t i = 0;
        for (const TScreenPoint& p : points) {
            System.ScreenPoints[i] = p;
            System.Colors[i] = MakePixel(200, 100, 40);
            ++i;
        }
        System.Raster = &Raster;
        System.SetRenderMode(mode);
    }
};

} // namespace

TEST(ParticleSystemTest, NewCountGivesClearedParticlesThatAllLandOnTheCenter)
{
    TWorld3d world = MakeWorld();
    TDIBRaster raster(640, 480);
    TParticleSystem system;
    system.SetParticleCount(5);
    for (int32_t i = 0; i < 5; ++i) {
        EXPECT_TRUE(system.Points[i].X == 0 && system.Points[i].Y == 0 && system.Points[i].Z == 0);
        EXPECT_EQ(system.Colors[i], 0u);
        system.Colors[i] = MakePixel(10 * i + 1, 0, 0);
    }
    system.Raster = &raster;
    world.Add(&system);
    world.StepAll();
    EXPECT_EQ(raster.GetPixel(320, 240), MakePixel(41, 0, 0));
    EXPECT_EQ(LitPixels(raster), 1);
}

TEST(ParticleSystemTest, ANegativeCountIsRefusedAndLeavesTheSystemEmpty)
{
    TParticleSystem system;
    system.SetParticleCount(3);
    try {
        system.SetParticleCount(-1);
        FAIL() << "no exception";
    } catch (const EParticleSystemError& e) {
        EXPECT_EQ(e.Message(), "TParticleSystem.SetParticleCount : Cannot set ParticleCount to -1");
    }
    EXPECT_EQ(system.ParticleCount, 0);
    EXPECT_EQ(system.Points, nullptr);
    EXPECT_EQ(system.Colors, nullptr);
}

TEST(ParticleSystemTest, MoveAndTransformPlaceTheCloudRelativeToTheViewer)
{
    TWorld3d world(ZeroPosition, -560.0f, {0, 0, 90}, {320, 240});
    TParticleSystem system;
    system.SetParticleCount(1);
    system.Points[0] = {1.5f, 0.5f, 0};
    system.Position = {90, 0, 5};
    system.Angle = {0, 0, 80};
    system.Velocity = {10, 0, -5};
    system.Rot = {0, 0, 10};
    world.Add(&system);
    system.Move();
    EXPECT_EQ(system.Angle.Z, 90);
    EXPECT_EQ(system.Position.X, 100);
    EXPECT_EQ(system.Position.Z, 0);

    // The system turns with the viewer, so the point keeps its direction; the system's
    // offset is seen turned back by the viewer's angle.
    system.Transform();
    EXPECT_NEAR(system.ViewPoints[0].X, 1.5f, 1e-4f);
    EXPECT_NEAR(system.ViewPoints[0].Y, -99.5f, 1e-4f);
    EXPECT_NEAR(system.ViewPoints[0].Z, 0, 1e-4f);
    system.Project();
    EXPECT_EQ(system.ScreenPoints[0].X, 321);
    EXPECT_EQ(system.ScreenPoints[0].Y, 140);
}

TEST(ParticleSystemTest, MixModeAddsHalfTheColourWithSaturation)
{
    TPlotFixture f({{3, 2}}, TRenderMode::rmDrawMixMode);
    f.System.Colors[0] = MakePixel(255, 128, 64);
    const std::pair<int32_t, int32_t> expected[] = {{127, 64}, {254, 128}, {255, 192}};
    for (const auto& [red, green] : expected) {
        f.System.Render();
        const TPixel p = f.Raster.GetPixel(3, 2);
        EXPECT_EQ(Red(p), red);
        EXPECT_EQ(Green(p), green);
        EXPECT_EQ(Blue(p), green / 2);
    }
    EXPECT_EQ(LitPixels(f.Raster), 1);
}

TEST(ParticleSystemTest, StarsLightTheCentreAndItsFourNeighboursButNeverTheBorder)
{
    TPlotFixture f({{1, 1}, {6, 4}, {7, 3}, {0, 0}}, TRenderMode::rmDrawStars);
    f.System.Render();
    EXPECT_EQ(f.Raster.GetPixel(1, 1), MakePixel(100, 50, 20));
    for (auto [x, y] : {std::pair{0, 1}, {2, 1}, {1, 0}, {1, 2}, {5, 4}, {7, 4}, {6, 3}, {6, 5}})
        EXPECT_EQ(f.Raster.GetPixel(x, y), MakePixel(50, 25, 10)) << x << "," << y;
    EXPECT_EQ(LitPixels(f.Raster), 10);

    // Dots and mix do reach the last column and the corner.
    for (TRenderMode mode : {TRenderMode::rmDraw, TRenderMode::rmDrawMixMode}) {
        TPlotFixture g({{7, 3}, {0, 0}}, mode);
        g.System.Render();
        EXPECT_EQ(LitPixels(g.Raster), 2) << int(mode);
    }
}

TEST(ParticleSystemTest, UnknownRenderModeKeepsThePreviousProcedure)
{
    TPlotFixture f({{3, 3}}, TRenderMode::rmDrawStars);
    f.System.SetRenderMode(TRenderMode(3));
    EXPECT_EQ(uint8_t(f.System.RenderMode), 3);
    f.System.Render();
    EXPECT_EQ(LitPixels(f.Raster), 5);
}

TEST(ParticleSystemTest, PointsOutsideTheRasterAreSkippedInEveryMode)
{
    for (TRenderMode mode : {TRenderMode::rmDraw, TRenderMode::rmDrawMixMode, TRenderMode::rmDrawStars}) {
        TPlotFixture f({{-1, 2}, {8, 2}, {2, -1}, {2, 6}, {INT32_MIN, INT32_MIN}, {INT32_MAX, 3}, {3, INT32_MAX}},
                       mode);
        f.System.Render();
        EXPECT_EQ(LitPixels(f.Raster), 0) << int(mode);
    }
}

TEST(ParticleSystemTest, ShareOutsideCountsEveryPointBeyondAnEdge)
{
    TPlotFixture f({{0, 0}, {7, 5}, {-1, 2}, {8, 2}, {2, -1}, {2, 6}, {INT32_MIN, INT32_MIN}, {3, 3}},
                   TRenderMode::rmDraw);
    EXPECT_DOUBLE_EQ(f.System.ShareOutsideRaster(), 5.0 / 8.0);
    f.System.Raster = nullptr;
    EXPECT_EQ(f.System.ShareOutsideRaster(), 0.0);
}

TEST(ParticleSystemTest, NothingIsPlottedWithoutParticlesWorldRasterOrScreenPosition)
{
    TParticleSystem lonely;
    lonely.SetParticleCount(2);
    lonely.Transform();
    lonely.Project();
    lonely.Render();

    TWorld3d world = MakeWorld();
    TDIBRaster raster(640, 480);
    TParticleSystem empty;
    empty.Raster = &raster;
    world.Add(&empty);
    // A point at the eye and a point that is not a number.
    TParticleSystem atTheEye;
    atTheEye.SetParticleCount(2);
    atTheEye.Points[1] = {0, 0, std::numeric_limits<float>::quiet_NaN()};
    atTheEye.Colors[0] = atTheEye.Colors[1] = 0xFFFFFF;
    atTheEye.Position = {0, 0, -560};
    atTheEye.Raster = &raster;
    world.Add(&atTheEye);
    for (TRenderMode mode : {TRenderMode::rmDraw, TRenderMode::rmDrawMixMode, TRenderMode::rmDrawStars}) {
        atTheEye.SetRenderMode(mode);
        world.StepAll();
    }
    EXPECT_EQ(atTheEye.ScreenPoints[0].X, INT32_MIN);
    EXPECT_EQ(LitPixels(raster), 0);
}

namespace {

// Every pixel tells where it is: red is x, green is y.
std::unique_ptr<TDIBRaster> CoordinateRaster(int32_t w, int32_t h)
{
    auto raster = std::make_unique<TDIBRaster>(w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            raster->Bits()[x + y * w] = MakePixel(x, y, 1);
    return raster;
}

constexpr TVector3d kUntouched{7, 7, 7};

void MarkAll(TParticleSystem& system)
{
    for (int32_t i = 0; i < system.ParticleCount; ++i) {
        system.Points[i] = kUntouched;
        system.Colors[i] = 0xABCDEF;
    }
}

bool IsUntouched(const TParticleSystem& system, int32_t i)
{
    return system.Points[i].X == kUntouched.X && system.Points[i].Y == kUntouched.Y &&
           system.Points[i].Z == kUntouched.Z && system.Colors[i] == 0xABCDEF;
}

} // namespace

TEST(ParticleSystemTest, GridSamplesTheRasterInCells)
{
    auto raster = CoordinateRaster(100, 100);
    TParticleSystem system;
    system.SetParticleCount(100);
    system.GridFromRaster(*raster, 200, 200);
    EXPECT_EQ(system.Points[0].X, -100);
    EXPECT_EQ(system.Points[0].Y, -100);
    EXPECT_EQ(system.Colors[0], MakePixel(0, 0, 1));
    EXPECT_EQ(system.Points[11].X, -80);
    EXPECT_EQ(system.Points[11].Y, -80);
    EXPECT_EQ(system.Points[11].Z, 0);
    EXPECT_EQ(system.Colors[11], MakePixel(10, 10, 1));
    EXPECT_EQ(system.Points[99].X, 80);
    EXPECT_EQ(system.Colors[99], MakePixel(90, 90, 1));
}

TEST(ParticleSystemTest, GridKeepsTheAspectAndLeavesParticlesBeyondIt)
{
    auto raster = CoordinateRaster(200, 100);
    TParticleSystem system;
    system.SetParticleCount(60);
    MarkAll(system);
    // Cells of sqrt(20000 / 60) = 18.26 pixels: a 10 x 5 grid, 50 particles.
    system.GridFromRaster(*raster, 200, 999);
    EXPECT_EQ(system.Points[49].X, 80);
    EXPECT_EQ(system.Points[49].Y, 30); // 4 * 100 / 5 - 50: ExtentY follows from ExtentX
    EXPECT_EQ(system.Colors[49], MakePixel(180, 80, 1));
    for (int32_t i = 50; i < 60; ++i)
        EXPECT_TRUE(IsUntouched(system, i)) << i;
}

TEST(ParticleSystemTest, PicturesWithoutCellsOrForegroundChangeNothing)
{
    TParticleSystem system;
    system.SetParticleCount(4);
    MarkAll(system);
    TDIBRaster empty(0, 0);
    system.GridFromRaster(empty, 200, 200);
    system.MaskFromRaster(empty, 0, 0, 200, 200);
    // A strip too thin for one cell: no division by a zero row count.
    TDIBRaster strip(2000, 2);
    strip.FillRect({0, 0, 1999, 1}, 0x102030);
    system.GridFromRaster(strip, 200, 200);
    // All background.
    system.MaskFromRaster(strip, 0x102030, 0, 200, 200);
    for (int32_t i = 0; i < 4; ++i)
        EXPECT_TRUE(IsUntouched(system, i)) << i;

    TParticleSystem none;
    none.GridFromRaster(strip, 200, 200);
    none.MaskFromRaster(strip, 0, 0, 200, 200);
    EXPECT_EQ(none.Points, nullptr);
}

TEST(ParticleSystemTest, MaskSpreadsForegroundPixelsOverTheParticles)
{
    TDIBRaster raster(4, 2);
    raster.FillRect({0, 0, 3, 1}, MakePixel(50, 50, 50));
    // Tolerance 0: one step in one channel is foreground. Column order: (1, 1) before (3, 0).
    raster.Bits()[3] = MakePixel(50, 51, 50);
    raster.Bits()[4 + 1] = MakePixel(50, 50, 49);
    TParticleSystem system;
    system.SetParticleCount(4);
    MarkAll(system);
    system.MaskFromRaster(raster, MakePixel(50, 50, 50), 0, 100, 100);
    // ExtentY follows the picture's aspect: 2 * 100 / 4 = 50.
    EXPECT_EQ(system.Colors[0], MakePixel(50, 50, 49));
    EXPECT_EQ(system.Points[0].X, 1 * 100 / 4.0f - 50);
    EXPECT_EQ(system.Points[0].Y, 1 * 50 / 2.0f - 25);
    EXPECT_EQ(system.Colors[2], MakePixel(50, 51, 50));
    EXPECT_EQ(system.Points[2].X, 3 * 100 / 4.0f - 50);
    EXPECT_EQ(system.Points[2].Y, -25);
    EXPECT_TRUE(IsUntouched(system, 1));
    EXPECT_TRUE(IsUntouched(system, 3));

    // More foreground than particles: the last pixel in scan order wins.
    TParticleSystem one;
    one.SetParticleCount(1);
    one.MaskFromRaster(raster, MakePixel(50, 50, 50), 0, 100, 100);
    EXPECT_EQ(one.Colors[0], MakePixel(50, 51, 50));
    one.Colors[0] = 0;
    one.MaskFromRaster(raster, MakePixel(50, 50, 50), 1, 100, 100);
    EXPECT_EQ(one.Colors[0], 0u) << "a difference of one is not above tolerance 1";
}

namespace {

// A kind that takes its colours from a raster of its own, one particle per pixel, as the
// bitmap kinds do.
class TOwnColorsSystem : public TParticleSystem {
public:
    explicit TOwnColorsSystem(int32_t pixels)
    {
        ParticleCount = pixels;
        InitParticles();
    }
    ~TOwnColorsSystem() override { FreeParticles(); }

    void AllocateParticles() override
    {
        TParticleSystem::AllocateParticles();
        colors_ = std::make_unique<TDIBRaster>(ParticleCount, 1);
        colors_->FillRect({0, 0, ParticleCount - 1, 0}, 0x123456);
        Colors = colors_->Bits();
    }
    void FreeParticles() override
    {
        TParticleSystem::FreeParticles();
        colors_.reset();
    }
    const TDIBRaster& ColorRaster() const { return *colors_; }

private:
    std::unique_ptr<TDIBRaster> colors_;
};

} // namespace

TEST(ParticleSystemTest, DerivedKindsCanProvideTheirOwnColours)
{
    TOwnColorsSystem system(4);
    EXPECT_EQ(system.Colors, system.ColorRaster().Bits());
    EXPECT_EQ(system.ColorRaster().GetPixel(3, 0), 0u) << "cleared through the colours";
    system.SetParticleCount(6);
    EXPECT_EQ(system.ColorRaster().Width(), 6);
    system.Colors[5] = 0x00FF00;
    EXPECT_EQ(system.ColorRaster().GetPixel(5, 0), 0x00FF00u);
}

// One frame of a logo: a picture drawn through the canvas, sampled by colour mask and
// plotted. The frame is written to a PNG for looking at.
TEST(ParticleSystemTest, RendersAFrameOfAPictureSampledByMask)
{
    TDIBRaster picture(200, 100);
    TCanvas& canvas = picture.Canvas();
    canvas.SetBrushColor(0x0000FF); // platform order: red
    canvas.FillRect({50, 25, 99, 74});
    canvas.SetBrushColor(0xFF0000); // blue
    canvas.FillRect({100, 25, 149, 74});
    canvas.SetBrushStyle(TBrushStyle::bsClear);
    canvas.SetFont({"Arial", -20, fsBold, 0x00FF00});
    canvas.TextOut(4, 2, "LF");

    TWorld3d world = MakeWorld();
    TDIBRaster frame(640, 480);
    TParticleSystem system;
    system.SetParticleCount(3000);
    // The picture is 2 : 1, so 400 x 200 world units, two pixels apart on z = 0.
    system.MaskFromRaster(picture, 0, 0, 400, 10);
    system.Raster = &frame;
    world.Add(&system);
    world.StepAll();

    const std::string path = testing::TempDir() + "ParticleSystemFrame.png";
    ASSERT_TRUE(frame.Image().save(QString::fromStdString(path)));
    EXPECT_EQ(QImage(QString::fromStdString(path)).convertToFormat(QImage::Format_RGB32), frame.Image());

    // Picture pixel (x, y) lands on (120 + 2x, 140 + 2y).
    std::set<std::pair<int32_t, int32_t>> lit;
    int32_t green = 0;
    for (int32_t y = 0; y < frame.Height(); ++y)
        for (int32_t x = 0; x < frame.Width(); ++x) {
            const TPixel p = frame.GetPixel(x, y);
            if (p == 0)
                continue;
            lit.insert({x, y});
            ASSERT_TRUE(x >= 120 && x < 520 && y >= 140 && y < 340 && x % 2 == 0 && y % 2 == 0) << x << "," << y;
            if (p == MakePixel(255, 0, 0))
                EXPECT_TRUE(x >= 220 && x <= 318 && y >= 190 && y <= 288) << x << "," << y;
            else if (p == MakePixel(0, 0, 255))
                EXPECT_TRUE(x >= 320 && x <= 418 && y >= 190 && y <= 288) << x << "," << y;
            else
                green += Green(p) > 0 && x < 220 && y < 190;
        }
    // Every particle got its own foreground pixel: there are more of them than particles.
    EXPECT_EQ(lit.size(), 3000u);
    EXPECT_GT(green, 10) << "the text is part of the cloud";
}
