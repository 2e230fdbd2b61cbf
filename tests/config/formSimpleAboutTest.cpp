#include "CfgDialogSupport.h"

#include "config/formSimpleAbout.h"
#include "graphics/GfxFilters.h"
#include "ui_formSimpleAbout.h"

#include <vector>

namespace {

std::vector<int16_t> Heights(TfrmSimpleAbout& about)
{
    const auto heights = about.Water()->CurrentHeights().Heights();
    return {heights.begin(), heights.end()};
}

TEST(formSimpleAbout, FrameAndVersionData)
{
    TfrmSimpleAbout about;
    EXPECT_EQ(about.windowTitle(), "About");
    EXPECT_EQ(about.size(), QSize(348, 213));
    EXPECT_TRUE(about.Controls().Button1->isDefault());
    EXPECT_EQ(about.Controls().pgAbout->tabText(0), "Quenwick");
    EXPECT_EQ(about.Controls().pbLogo->toolTip(), "Click to shake the pool");
    // The test program carries the same version data as the saver.
    EXPECT_EQ(about.Controls().lblName->text(), "Lumenfall");
    EXPECT_EQ(about.Controls().lblVersion->text(), LUMENFALL_VERSION);
    EXPECT_FALSE(about.Controls().lblDescription->text().isEmpty());
}

TEST(formSimpleAbout, FileWithoutVersionDataShowsItsPath)
{
    TTemporaryHives scratch("about");
    const std::string file = (scratch.Folder() / "plain.bin").string();
    std::ofstream(file) << "no version data here";
    TfrmSimpleAbout about(nullptr, file);
    EXPECT_EQ(about.Controls().lblName->text().toStdString(), file);
    EXPECT_EQ(about.Controls().lblVersion->text(), "No version info");
    EXPECT_EQ(about.Controls().lblCopyright->text(), kMakerNotice);
    EXPECT_TRUE(about.Controls().lblDescription->text().isEmpty());
}

TEST(formSimpleAbout, WaterLivesWhileShown)
{
    TfrmSimpleAbout about;
    EXPECT_EQ(about.Water(), nullptr);
    about.show();
    ASSERT_NE(about.Water(), nullptr);
    EXPECT_TRUE(about.AnimationTimer().isActive());
    EXPECT_EQ(about.AnimationTimer().interval(), 30);
    const QPixmap logo(":/dialog/maker.png");
    ASSERT_FALSE(logo.isNull());
    EXPECT_EQ(about.Controls().pbLogo->geometry(), QRect(QPoint(8, 8), logo.size()));

    about.Controls().Button1->click();
    EXPECT_FALSE(about.isVisible());
    EXPECT_EQ(about.Water(), nullptr);
    EXPECT_FALSE(about.AnimationTimer().isActive());
}

TEST(formSimpleAbout, MouseStirsExceptOnTheMargin)
{
    TfrmSimpleAbout about;
    about.show();
    QWidget& pool = *about.Controls().pbLogo;
    const int w = pool.width(), h = pool.height();
    const std::vector<int16_t> still = Heights(about);
    for (const QPoint at : {QPoint(0, 20), QPoint(1, 20), QPoint(w - 2, 20), QPoint(w - 1, 20), QPoint(20, 0),
                            QPoint(20, 1), QPoint(20, h - 2), QPoint(20, h - 1), QPoint(1, 1)})
        SendMouse(pool, QEvent::MouseMove, at, Qt::NoButton);
    EXPECT_EQ(Heights(about), still);

    SendMouse(pool, QEvent::MouseMove, QPoint(2, 2), Qt::NoButton);
    const std::vector<int16_t> stirred = Heights(about);
    const int width = about.Water()->Width();
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(stirred[size_t(y * width + x)], (x >= 1 && x <= 3 && y >= 1 && y <= 3) ? 1600 : 0) << x << "," << y;

    SendMouse(pool, QEvent::MouseButtonPress, QPoint(40, 40), Qt::LeftButton);
    EXPECT_NE(Heights(about), stirred);
}

} // namespace
