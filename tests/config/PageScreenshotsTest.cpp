// Every sub-page of the preset pages drawn as the dialog shows it. With
// LUMENFALL_SCREENSHOTS set, the pictures are kept there for a look.

#include "config/LogoPage.h"
#include "config/TextPage.h"
#include "config/WavePage.h"

#include "config/FakeCfgDialog.h"
#include "config/PageTestSupport.h"
#include "persistence/SettingsStore.h"
#include "persistence/TemporaryHives.h"

#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QTabWidget>

#include <gtest/gtest.h>

#include <filesystem>

namespace {

// Shows every sub-page of the page's tab control and checks that its controls fit.
void ShootSubPages(QWidget& page, const char* tabsName, const QString& prefix)
{
    // The dialog's client area is 434 x 482; its tabs and buttons leave about this much.
    EXPECT_LE(page.minimumSizeHint().width(), 426) << prefix.toStdString();
    EXPECT_LE(page.minimumSizeHint().height(), 400) << prefix.toStdString();
    page.resize(426, 400);
    page.show();
    auto& tabs = Child<QTabWidget>(page, tabsName);
    const QByteArray folder = qgetenv("LUMENFALL_SCREENSHOTS");
    for (int i = 0; i < tabs.count(); ++i) {
        tabs.setCurrentIndex(i);
        QWidget* sub = tabs.widget(i);
        const QImage shot = page.grab().toImage();
        ASSERT_FALSE(shot.isNull());
        for (const QWidget* control : sub->findChildren<QWidget*>()) {
            if (!control->isVisibleTo(sub) || control->parentWidget() != sub)
                continue;
            EXPECT_TRUE(sub->rect().contains(control->geometry()))
                << prefix.toStdString() << " " << tabs.tabText(i).toStdString() << ": "
                << control->objectName().toStdString() << " leaves the page";
        }
        if (!folder.isEmpty())
            shot.save(QString("%1/%2-%3.png").arg(QString(folder), prefix, tabs.tabText(i).replace(' ', '_')));
    }
    page.hide();
}

// Until every entry shows its picture instead of the placeholder it starts with.
void WaitForThumbnails(const QListWidget& list)
{
    ASSERT_GT(list.count(), 1);
    const auto shown = [&](int row) { return list.item(row)->icon().pixmap(list.iconSize()).toImage(); };
    const QImage placeholder = shown(0);
    for (int row = 0; row < list.count(); ++row)
        EXPECT_TRUE(QTest::qWaitFor([&] { return shown(row) != placeholder; }, 60000)) << row;
}

TEST(PageScreenshots, EverySubPageFitsTheDialog)
{
    TTemporaryHives hives("screenshots");
    TFakeCfgDialog dialog;
    // The shipped presets, with their thumbnails.
    dialog.settings.WavesDirectory = (std::filesystem::path(LUMENFALL_TEST_BUILD_DIR) / "share/lumenfall/waves/").string();
    dialog.settings.UserWavesDirectory = UserWavesDirectory();
    std::filesystem::create_directories(dialog.settings.UserWavesDirectory);
    TWaveConfig own;
    SetBuiltInWave(own);
    own.SaveToFile(dialog.settings.UserWavesDirectory + "My own preset with a long name.lmx");
    dialog.settings.WaveList = ListWavePresets(dialog.settings.WavesDirectory, dialog.settings.UserWavesDirectory);
    dialog.settings.LogoList = {"Emblem", "Mask Logo"};
    dialog.settings.TextList = {"Ticker"};
    dialog.settings.ActiveText = {"", 2, true, TRenderMode::rmDrawStars, {}, {0, 0.5f, 0}, "Lumenfall\nparticles",
                                  "Sans", 24, 1, 0x0040C0FF};
    dialog.preview.setStyleSheet("background: black;");
    QImage picture(120, 60, QImage::Format_RGB32);
    picture.fill(QColor(40, 90, 200));
    const std::string logoFile = (hives.Folder() / "logo.bmp").string();
    picture.save(QString::fromStdString(logoFile), "BMP");
    dialog.settings.ActiveLogo.Path = logoFile;
    TFakePrompts prompts;
    {
        TWavePage page(dialog);
        page.SetPrompts(prompts);
        page.LoadPage();
        auto& list = Child<QListWidget>(page, "lstWaveSchemes");
        WaitForThumbnails(list);
        list.setCurrentItem(list.findItems("My own preset with a long name", Qt::MatchExactly).front());
        ShootSubPages(page, "pgParticleCfg", "waves");
    }
    {
        TLogoPage page(dialog);
        page.SetPrompts(prompts);
        page.LoadPage();
        ShootSubPages(page, "pgLogo", "logos");
    }
    {
        TTextPage page(dialog);
        page.SetPrompts(prompts);
        page.LoadPage();
        ShootSubPages(page, "pgText", "texts");
    }
}

// Every control is named by its caption: a button by its text, a field by its label (with
// the group's caption in front where the label alone says little, as "Angle X").
void CheckAccessibleNames(const QWidget& page)
{
    int checked = 0;
    for (const QWidget* control : page.findChildren<QWidget*>()) {
        const bool isControl = qobject_cast<const QAbstractButton*>(control) || qobject_cast<const QLineEdit*>(control) ||
                               qobject_cast<const QAbstractSpinBox*>(control) || qobject_cast<const QComboBox*>(control) ||
                               qobject_cast<const QAbstractSlider*>(control) || qobject_cast<const QAbstractItemView*>(control);
        if (!isControl || control->objectName().startsWith("qt_") || control->parentWidget()->inherits("QAbstractSpinBox") ||
            control->parentWidget()->inherits("QComboBox") || control->parentWidget()->inherits("QTabBar") ||
            control->objectName().isEmpty())
            continue;
        ++checked;
        const QString name = control->accessibleName();
        EXPECT_FALSE(name.isEmpty()) << control->objectName().toStdString();
        // "..." buttons say what they choose; the colour panel has no text of its own.
        const auto* button = qobject_cast<const QAbstractButton*>(control);
        if (button && !button->text().isEmpty() && button->text() != "...") {
            EXPECT_EQ(name, button->text()) << control->objectName().toStdString();
        }
        for (const QLabel* label : page.findChildren<QLabel*>()) {
            if (label->buddy() == control) {
                EXPECT_TRUE(name.endsWith(label->text())) << control->objectName().toStdString();
            }
        }
    }
    EXPECT_GT(checked, 10);
}

TEST(PageScreenshots, EveryControlIsNamedByItsCaption)
{
    TTemporaryHives hives("names");
    TFakeCfgDialog dialog;
    TWavePage waves(dialog);
    TLogoPage logos(dialog);
    TTextPage texts(dialog);
    for (const QWidget* page : {static_cast<QWidget*>(&waves), static_cast<QWidget*>(&logos), static_cast<QWidget*>(&texts)})
        CheckAccessibleNames(*page);
}

} // namespace
