#include "kinds/ParticleText.h"

#include "kinds/KindsTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int32_t BandWidth = 160;

TFont TickerFont(int32_t height)
{
    TFont font;
    font.Name = "Arial";
    font.Height = height;
    font.Color = 0x00FFFFFF;
    return font;
}

// White text on a clear brush, as the saver sets it up.
std::unique_ptr<TParticleText> MakeTicker(const std::string& text, int32_t height = -20)
{
    auto ticker = std::make_unique<TParticleText>(TickerFont(height), BandWidth);
    ticker->DIB().Canvas().SetBrushStyle(TBrushStyle::bsClear);
    ticker->SetText(text);
    return ticker;
}

// Steps one frame and tells whether it drew a character.
bool MoveDraws(TParticleText& ticker)
{
    ticker.Move();
    return ticker.ColumnCounter() == 1;
}

// The frames, counted from 1, on which characters were drawn.
std::vector<int32_t> DrawingFrames(TParticleText& ticker, int32_t frames)
{
    std::vector<int32_t> drawn;
    for (int32_t k = 1; k <= frames; ++k)
        if (MoveDraws(ticker))
            drawn.push_back(k);
    return drawn;
}

bool SameColumnsFrom(const TDIBRaster& a, const TDIBRaster& b, int32_t firstColumn)
{
    for (int32_t y = 0; y < a.Height(); ++y)
        for (int32_t x = firstColumn; x < a.Width(); ++x)
            if (a.GetPixel(x, y) != b.GetPixel(x, y))
                return false;
    return true;
}

} // namespace

TEST(ParticleTextTest, TheBandIsAsHighAsTheFontWhicheverSignItsHeightHas)
{
    for (int32_t height : {-20, 20}) {
        auto ticker = MakeTicker("", height);
        EXPECT_EQ(ticker->Height(), 20);
        EXPECT_EQ(ticker->ParticleCount, 20 * BandWidth);
        EXPECT_EQ(ticker->DIB().Canvas().Font().Height, 20);
        ExpectCountRefused(*ticker, "TParticleDIB.SetParticleCount : Cannot set ParticleCount of TParticleDIB");
    }
}

TEST(ParticleTextTest, AOneCharacterTextRepeatsOnceItsCopyHasScrolledPastItsWidth)
{
    auto ticker = MakeTicker("A");
    const int32_t width = ticker->DIB().Canvas().TextWidth(U'A');
    ASSERT_TRUE(MoveDraws(*ticker)) << "drawn on the first frame";
    EXPECT_EQ(ticker->CharIndex(), 1);
    const int64_t oneCopy = LitPixels(ticker->DIB());
    ASSERT_GT(oneCopy, 0);

    const std::vector<int32_t> drawn = DrawingFrames(*ticker, 3 * (width + 1));
    ASSERT_EQ(drawn.size(), 3u);
    for (size_t k = 0; k < drawn.size(); ++k)
        EXPECT_EQ(drawn[k], int32_t(k + 1) * (width + 1));
    // No copy erases the one before it.
    EXPECT_EQ(LitPixels(ticker->DIB()), 4 * oneCopy);
}

TEST(ParticleTextTest, EveryCodePointIsDrawnTheLastOneToo)
{
    auto ticker = MakeTicker("I\xC3\xA9W"); // three code points, four bytes
    auto alone = MakeTicker("W");
    alone->Move();
    const int32_t wWidth = alone->DIB().Canvas().TextWidth(U'W');

    std::vector<int32_t> indices;
    for (int32_t k = 0; k < 300 && indices.size() < 6; ++k) {
        if (!MoveDraws(*ticker))
            continue;
        indices.push_back(ticker->CharIndex());
        if (ticker->CharIndex() == 1) {
            EXPECT_TRUE(SameColumnsFrom(ticker->DIB(), alone->DIB(), BandWidth - wWidth - 2))
                << "the W is drawn at the right edge as if alone";
        }
    }
    EXPECT_EQ(indices, (std::vector<int32_t>{2, 3, 1, 2, 3, 1}));

    // A new text starts over on a clear band.
    ticker->SetText("W");
    EXPECT_EQ(LitPixels(ticker->DIB()), 0);
    EXPECT_EQ(ticker->CharIndex(), 1);
    EXPECT_EQ(ticker->ColumnCounter(), -1);
    ticker->Move();
    EXPECT_TRUE(SameColumnsFrom(ticker->DIB(), alone->DIB(), 0));
}

TEST(ParticleTextTest, ControlCharactersShowAsSpacesWithTheirOwnWidth)
{
    auto ticker = MakeTicker("\x01");
    TCanvas& canvas = ticker->DIB().Canvas();
    const int32_t width = canvas.TextWidth(U'\x01');
    const std::vector<int32_t> drawn = DrawingFrames(*ticker, 2 * (width + 1) + 1);
    EXPECT_EQ(drawn, (std::vector<int32_t>{1, width + 2, 2 * width + 3}));
    EXPECT_EQ(LitPixels(ticker->DIB()), 0);

    // Drawn as itself, the font would have shown a box.
    canvas.TextOut(0, 0, U'\x01');
    EXPECT_GT(LitPixels(ticker->DIB()), 0);
}

TEST(ParticleTextTest, AnEmptyTextJustScrolls)
{
    auto ticker = MakeTicker("");
    ticker->DIB().FillRect({5, 1, 5, 1}, 0x00123456);
    for (int32_t k = 0; k < 3; ++k)
        ticker->Move();
    EXPECT_EQ(ticker->DIB().GetPixel(2, 1), 0x00123456u);
    EXPECT_EQ(LitPixels(ticker->DIB()), 1);
    EXPECT_EQ(ticker->CharIndex(), 1);
}

TEST(ParticleTextTest, TheTickerReadsOnTheFrontOfTheTurningCylinder)
{
    // Laid out as the saver does for a 640 x 480 area.
    constexpr int32_t W = 640, H = 480, S = H * 2 / 3, FontHeight = 40;
    TWorld3d world = MakeSaverWorld(W, H);
    TParticleText ticker(TickerFont(-FontHeight), 2 * S);
    ticker.DIB().Canvas().SetBrushStyle(TBrushStyle::bsClear);
    ticker.SetText("Lumenfall ticker 0123");
    ticker.WrapOnCylinder(float(S), float(2 * FontHeight));
    ticker.Position = {0, 0, float(S)};
    world.Add(&ticker);
    TDIBRaster frame(W, H);

    // Unturned, column 3/4 of the band faces the viewer at the screen's centre column,
    // upright and one particle every second row; the upper half is never covered by the
    // back of the band, which lies farther away and is drawn first there.
    const int32_t front = 2 * S * 3 / 4;
    int64_t frontInk = 0;
    for (int32_t k = 1; k <= 2 * S; ++k) {
        ticker.Move();
        DrawFrame(ticker, frame);
        if (k == 300)
            KeepFrame(frame, "ticker_front");
        for (int32_t row = 0; row < FontHeight / 2; ++row) {
            const TPixel expected = ticker.DIB().GetPixel(front, row);
            ASSERT_EQ(frame.GetPixel(W / 2, H / 2 - FontHeight + 2 * row), expected) << k << " " << row;
            frontInk += expected != 0;
        }
    }
    EXPECT_GT(frontInk, 100);

    // Tilted and turning, the band shows as a ring inside its outline on the screen.
    // Mixing keeps the black of the band from covering the text behind it.
    ticker.SetRenderMode(TRenderMode::rmDrawMixMode);
    ticker.Angle = {15, 0, 0};
    ticker.Rot = {0, 0.5f, 0};
    for (int32_t k = 1; k <= 90; ++k) {
        ticker.Move();
        DrawFrame(ticker, frame);
        if (k % 30 == 0)
            KeepFrame(frame, "ticker_turning_" + std::to_string(k));
    }
    int32_t reachX = 0, reachY = 0;
    for (int32_t y = 0; y < H; ++y)
        for (int32_t x = 0; x < W; ++x)
            if (frame.GetPixel(x, y) != 0) {
                reachX = std::max(reachX, std::abs(x - W / 2));
                reachY = std::max(reachY, std::abs(y - H / 2));
            }
    EXPECT_GT(LitPixels(frame), 1000);
    EXPECT_LE(reachX, S + 1);
    EXPECT_GT(reachY, FontHeight) << "the tilt shows the ring";
    EXPECT_LE(reachY, S / 2);
}
