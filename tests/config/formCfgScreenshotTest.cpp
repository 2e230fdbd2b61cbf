// Writes a picture of every page of the dialog and of the about box into the folder named by
// $LUMENFALL_SCREENSHOTS; without it only checks that each page draws at the dialog's size.

#include "CfgDialogSupport.h"

#include "config/formSimpleAbout.h"
#include "ui_formCfgLumenfall.h"
#include "ui_formSimpleAbout.h"

#include <QTabWidget>

#include <cstdlib>

namespace {

void Save(QWidget& widget, const std::string& name)
{
    const QImage picture = widget.grab().toImage();
    EXPECT_FALSE(picture.isNull());
    if (const char* folder = std::getenv("LUMENFALL_SCREENSHOTS")) {
        EXPECT_TRUE(picture.save(QString::fromStdString(std::string(folder) + "/" + name + ".png")));
    }
}

TEST(formCfgScreenshotTest, EveryPageAndTheAboutBox)
{
    CfgInstallation setup;
    setup.Install();
    TfrmCfgLumenfall dialog(setup.Environment());
    dialog.show();
    QTabWidget& tabs = *dialog.Controls().pgMain;
    for (int page = 0; page < tabs.count(); ++page) {
        tabs.setCurrentIndex(page);
        for (int frame = 0; frame < 60; ++frame)
            dialog.PreviewTick();
        QApplication::processEvents();
        Save(dialog, "dialog-" + tabs.widget(page)->objectName().toStdString());
    }
    TfrmSimpleAbout about;
    about.show();
    about.Shake();
    for (int frame = 0; frame < 6; ++frame)
        about.AnimationTick();
    Save(about, "about");
    about.Controls().pgAbout->setCurrentIndex(1);
    Save(about, "about-information");
}

} // namespace
