// A show in steady state allocates nothing per frame: the counter below sees every
// allocation of the test program. Text drawn into a frame and the copy onto the screen are
// left out: the platform's painting allocates on its own (a few blocks per text line, two
// per copy).
#include "host/SaverShow.h"

#include "host/ShowInstallation.h"

#include <QImage>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<int64_t> allocations{0};

} // namespace

void* operator new(size_t size)
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* block = std::malloc(size == 0 ? 1 : size))
        return block;
    throw std::bad_alloc();
}

void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, size_t) noexcept { std::free(block); }

TEST(SteadyState, FramesOfAMappedShowAllocateNothing)
{
    ShowInstallation installation;
    // A logo that loads, so that no message line is drawn.
    const std::string logo = (installation.Folder() / "logo.bmp").string();
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(Qt::white);
    ASSERT_TRUE(picture.save(QString::fromStdString(logo), "BMP"));
    installation.settings.ActiveLogo.Path = logo;
    installation.settings.LogoEnabled = true;
    installation.settings.MorphDuration = 1;
    installation.settings.WaveDuration = 1;
    installation.wave.ParticleCount = 500;
    installation.wave.TransMapFilter = true;
    installation.wave.TransMapStyle = TTransMapStyle::tmsWaved;
    installation.wave.SinMagicParams[smrAmplitudesX][0] = 3.0f;
    installation.wave.SinMagicParams[smrFrequenciesX][0] = 2.0f;
    installation.wave.SmoothFilter = true;
    BuiltShow built(installation, 160, 120);
    ASSERT_TRUE(built.show.Messages().empty());
    // Through the wave with its map, the morph to the logo (smoothed) and the logo.
    for (int round = 0; round < 3; ++round) {
        auto frame = [&] {
            built.now += 21;
            built.show.RenderFrame();
        };
        for (int k = 0; k < 20; ++k)
            frame();
        const int64_t before = allocations.load();
        for (int k = 0; k < 20; ++k)
            frame();
        EXPECT_EQ(allocations.load() - before, 0) << built.show.CurrentItemName();
        for (int k = 0; k < 40; ++k)
            frame();
    }
}
