// Thumbnails drawn on the worker thread, kept in the cache and delivered through the event loop.

#include "host/ThumbnailWorker.h"

#include "kinds/LumenfallCfg.h"
#include "persistence/SettingsStore.h"
#include "persistence/TemporaryHives.h"

#include <QCoreApplication>
#include <QObject>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

namespace fs = std::filesystem;

namespace {

constexpr QSize kSize(96, 54);

double LitShare(const QImage& picture)
{
    int lit = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            lit += qGray(picture.pixel(x, y)) > 24;
    return double(lit) / (picture.width() * picture.height());
}

class ThumbnailWorkerTest : public ::testing::Test {
protected:
    ThumbnailWorkerTest()
    {
        TWaveConfig wave;
        SetBuiltInWave(wave);
        wave.ParticleCount = 2000;
        fs::create_directories(hives.Folder() / "waves");
        wave.SaveToFile(Preset().string());
    }

    fs::path Preset() const { return hives.Folder() / "waves" / "Ring.lmx"; }
    fs::path CacheFolder() const { return hives.Folder() / "cache" / "lumenfall" / "thumbnails"; }
    TThumbnailCache Cache() const { return TThumbnailCache(ThumbnailCacheDirectory()); }

    // The picture a fresh worker delivers for file, and how many it drew.
    std::pair<QImage, int32_t> Deliver(const std::string& file)
    {
        std::optional<QImage> delivered;
        TThumbnailWorker worker(
            receiver,
            [&](const std::string& name, const QImage& picture) {
                EXPECT_EQ(name, "Ring");
                EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
                delivered = picture;
            },
            kSize, Cache());
        worker.Request("Ring", file);
        EXPECT_TRUE(QTest::qWaitFor([&] { return delivered.has_value(); }, 60000));
        return {delivered.value_or(QImage()), worker.Drawn()};
    }

    std::vector<fs::path> Entries() const
    {
        std::vector<fs::path> entries;
        for (const auto& entry : fs::directory_iterator(CacheFolder()))
            entries.push_back(entry.path());
        return entries;
    }

    TTemporaryHives hives{"thumbnails"};
    QObject receiver;
};

TEST_F(ThumbnailWorkerTest, DrawnOnceThenReadFromTheCacheUntilTheFileChanges)
{
    EXPECT_EQ(ThumbnailCacheDirectory(), CacheFolder());
    const auto [first, drawn] = Deliver(Preset().string());
    ASSERT_EQ(first.size(), kSize);
    EXPECT_EQ(drawn, 1);
    // The ring shows: some pixels lit, most of them dark.
    EXPECT_GT(LitShare(first), 0.02);
    EXPECT_LT(LitShare(first), 0.6);
    ASSERT_EQ(Entries().size(), 1U);
    const fs::path entry = Entries().front();
    EXPECT_EQ(entry, Cache().Entry(Preset().string(), kSize));

    const auto [again, drawnAgain] = Deliver(Preset().string());
    EXPECT_EQ(drawnAgain, 0);
    EXPECT_EQ(again, first);

    // A newer file is another entry, which replaces the older one.
    fs::last_write_time(Preset(), fs::last_write_time(Preset()) + std::chrono::seconds(5));
    EXPECT_NE(Cache().Entry(Preset().string(), kSize), entry);
    EXPECT_EQ(Deliver(Preset().string()).second, 1);
    ASSERT_EQ(Entries().size(), 1U);
    EXPECT_NE(Entries().front(), entry);

    // A damaged entry is drawn again and replaced.
    std::ofstream(Entries().front(), std::ios::binary | std::ios::trunc) << "\x89PNG garbage";
    const auto [redrawn, drawnOverDamage] = Deliver(Preset().string());
    EXPECT_EQ(drawnOverDamage, 1);
    EXPECT_EQ(redrawn, first);
    EXPECT_EQ(TThumbnailCache::Load(Entries().front(), kSize), first);
}

TEST_F(ThumbnailWorkerTest, PresetsThatCannotBeDrawnGiveNoPicture)
{
    const fs::path broken = hives.Folder() / "waves" / "Broken.lmx";
    std::ofstream(broken, std::ios::binary) << "not a preset";
    EXPECT_TRUE(Deliver(broken.string()).first.isNull());
    EXPECT_TRUE(Deliver((hives.Folder() / "missing.lmx").string()).first.isNull());
    // Within the loader's limits, but larger than a raster may be on the thumbnail's screen.
    TWaveConfig huge;
    SetBuiltInWave(huge);
    huge.Width = MaxWaveAreaSize;
    huge.Height = MaxWaveAreaSize;
    huge.SaveToFile(broken.string());
    EXPECT_TRUE(Deliver(broken.string()).first.isNull());
    EXPECT_FALSE(fs::exists(CacheFolder()));
}

} // namespace
