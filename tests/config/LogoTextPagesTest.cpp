#include "config/LogoPage.h"
#include "config/TextPage.h"

#include "config/FakeCfgDialog.h"
#include "config/PageTestSupport.h"
#include "graphics/GfxTool.h"
#include "persistence/TemporaryHives.h"
#include "platform/Registry.h"

#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

class PresetPagesTest : public ::testing::Test {
protected:
    PresetPagesTest()
    {
        logoPage.SetPrompts(prompts);
        textPage.SetPrompts(prompts);
    }

    // A picture file of the given size.
    std::string Picture(int width, int height) const
    {
        const std::string file = (hives.Folder() / "logo.bmp").string();
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(Qt::red);
        image.save(QString::fromStdString(file), "BMP");
        return file;
    }

    static bool UserKeyExists(const std::string& key)
    {
        TRegistry reg(KEY_READ);
        reg.SetRootKey(HKEY_CURRENT_USER);
        return reg.KeyExists("\\" + key);
    }

    static QStringList Listed(const QWidget& page, const char* listName)
    {
        QStringList names;
        const auto& list = Child<QListWidget>(page, listName);
        for (int i = 0; i < list.count(); ++i)
            names << list.item(i)->text();
        return names;
    }

    TTemporaryHives hives{"presetpages"};
    TFakeCfgDialog dialog;
    TFakePrompts prompts;
    TLogoPage logoPage{dialog};
    TTextPage textPage{dialog};
};

TEST_F(PresetPagesTest, LogoVectorsStoreZeroForTheFieldThatDoesNotRead)
{
    dialog.settings.ActiveLogo.Angle = {1, 2, 3};
    dialog.settings.ActiveLogo.Rot = {4, 5, 6};
    dialog.settings.ActiveLogo.Path = Picture(4, 4);
    logoPage.LoadPage();
    Child<QLineEdit>(logoPage, "txtLogoAngleX").setText("1,5e1");
    TypeAndLeave(Child<QLineEdit>(logoPage, "txtLogoAngleY"), "q");
    EXPECT_EQ(dialog.editedLogo.Angle.Y, 0.0f);
    EXPECT_EQ(dialog.editedLogo.Angle.Z, 3.0f);
    EXPECT_EQ(dialog.editedLogo.Rot.X, 4.0f);
    EXPECT_EQ(dialog.editedLogo.Rot.Z, 6.0f) << "the rotation is another group";
}

TEST_F(PresetPagesTest, MaskIsHexadecimalAfterADollarSign)
{
    dialog.settings.ActiveLogo.ColorMask = 0x00FF00FF;
    dialog.settings.ActiveLogo.Style = TLogoStyle::lsMask;
    logoPage.LoadPage();
    QLineEdit& mask = Child<QLineEdit>(logoPage, "txtColorMask");
    EXPECT_EQ(mask.text(), "$00FF00FF");
    EXPECT_TRUE(mask.isEnabled());
    TypeAndLeave(mask, "$FF00");
    EXPECT_EQ(dialog.editedLogo.ColorMask, 65280u);
    TypeAndLeave(mask, "$");
    EXPECT_EQ(dialog.editedLogo.ColorMask, 0u);
    TypeAndLeave(mask, "123");
    EXPECT_EQ(dialog.editedLogo.ColorMask, 123u);
    EXPECT_EQ(ParseColorMask("$123456789"), std::nullopt) << "more than 32 bits";

    Child<QComboBox>(logoPage, "cboLogoStyle").setCurrentIndex(0);
    EXPECT_EQ(dialog.editedLogo.Style, TLogoStyle::lsBitmap);
    EXPECT_FALSE(mask.isEnabled());
}

TEST_F(PresetPagesTest, MaskKeysOutsideHexadecimalBeep)
{
    QLineEdit& mask = Child<QLineEdit>(logoPage, "txtColorMask");
    mask.setEnabled(true);
    mask.clear();
    QTest::keyClicks(&mask, "$fG0");
    EXPECT_EQ(mask.text(), "$f0");
    EXPECT_EQ(prompts.beeps, 1);
    QTest::keyClick(&mask, Qt::Key_Backspace);
    EXPECT_EQ(mask.text(), "$f");
    EXPECT_EQ(prompts.beeps, 1);
}

TEST_F(PresetPagesTest, ZoomSizesTheImageOnly)
{
    dialog.settings.ActiveLogo.Path = Picture(30, 30);
    logoPage.LoadPage();
    QLabel& image = Child<QLabel>(logoPage, "imgLogo");
    EXPECT_EQ(image.size(), QSize(30, 30));
    auto& zoom = Child<QComboBox>(logoPage, "cboLogoZoom");
    EXPECT_EQ(zoom.currentText(), "100%");
    zoom.setCurrentText("25%");
    EXPECT_EQ(image.size(), QSize(7, 7));
    zoom.setCurrentText("50%");
    EXPECT_EQ(image.size(), QSize(15, 15));
    zoom.setCurrentText("400%");
    EXPECT_EQ(image.size(), QSize(120, 120));
    EXPECT_EQ(dialog.editedLogo.Path, dialog.settings.ActiveLogo.Path);
}

TEST_F(PresetPagesTest, ALogoThatCannotBeReadBeepsAndKeepsItsPath)
{
    dialog.settings.ActiveLogo.Path = "/nowhere/logo.bmp";
    logoPage.LoadPage();
    EXPECT_EQ(prompts.beeps, 1);
    EXPECT_EQ(prompts.messages, QStringList{"Logo System : File access error - /nowhere/logo.bmp"});
    EXPECT_EQ(dialog.editedLogo.Path, "/nowhere/logo.bmp");
    EXPECT_EQ(Child<QLineEdit>(logoPage, "txtLogoPath").text(), "/nowhere/logo.bmp");

    dialog.settings.ActiveLogo.Path.clear();
    logoPage.LoadPage();
    EXPECT_EQ(prompts.beeps, 1) << "no picture is no error";
    EXPECT_EQ(Child<QLabel>(logoPage, "imgLogo").size(), QSize(0, 0));
}

TEST_F(PresetPagesTest, ChoosingAFileLoadsItAtFullSize)
{
    dialog.settings.ActiveLogo.Path = "/nowhere/logo.bmp";
    logoPage.LoadPage();
    const std::string file = Picture(8, 6);
    Child<QComboBox>(logoPage, "cboLogoZoom").setCurrentText("25%");
    prompts.file = QString::fromStdString(file);
    Click(logoPage, "cmdLogoPath");
    EXPECT_EQ(prompts.initialFile, "/nowhere/logo.bmp");
    EXPECT_EQ(dialog.editedLogo.Path, file);
    EXPECT_EQ(Child<QComboBox>(logoPage, "cboLogoZoom").currentText(), "100%");
    EXPECT_EQ(Child<QLabel>(logoPage, "imgLogo").size(), QSize(8, 6));
    QTest::mouseClick(&Child<QLineEdit>(logoPage, "txtLogoPath"), Qt::LeftButton);
    EXPECT_EQ(dialog.helpContexts, std::vector<int>{hcLogoPicture});
    EXPECT_EQ(kLogoFileFilter, std::string("Graphic Files (*.jpg *.jpeg *.bmp *.wmf *.emf *.ico);;All Files (*)"));
}

TEST_F(PresetPagesTest, ALogoBeyondTheSpinRangeKeepsItsCountUntilEdited)
{
    dialog.settings.ActiveLogo.ParticleCount = 100000;
    dialog.settings.ActiveLogo.Tolerance = 300;
    dialog.settings.ActiveLogo.Path = Picture(4, 4);
    logoPage.LoadPage();
    EXPECT_EQ(dialog.editedLogo.ParticleCount, 100000);
    EXPECT_EQ(dialog.editedLogo.Tolerance, 300);
    Child<QSpinBox>(logoPage, "txtLogoParticles").setValue(500);
    EXPECT_EQ(dialog.editedLogo.ParticleCount, 500);
    Child<QSlider>(logoPage, "trkLogoMotionBlur").setValue(3);
    Child<QCheckBox>(logoPage, "chkLogoSmooth").setChecked(true);
    EXPECT_EQ(dialog.editedLogo.MotionBlur, 3);
    EXPECT_TRUE(dialog.editedLogo.SmoothFilter);
}

TEST_F(PresetPagesTest, LogoGalleryAddsAndRemovesExactlyItsKey)
{
    TLogoConfig other;
    other.Name = "Other";
    SaveLogoConfig(other, kLogosKey);
    dialog.settings.LogoList = {"Other"};
    dialog.settings.ActiveLogo.Path = Picture(4, 4);
    logoPage.LoadPage();

    Click(logoPage, "cmdLogoRemove"); // nothing selected
    EXPECT_TRUE(UserKeyExists(std::string(kLogosKey) + "\\Other"));

    dialog.editedLogo.ParticleCount = 1234;
    prompts.name = "Mine";
    Click(logoPage, "cmdLogoAdd");
    EXPECT_EQ(prompts.askedPrompts, QStringList{"Enter a name for the new logo setting"});
    EXPECT_EQ(Listed(logoPage, "lstLogoSchemes"), (QStringList{"Mine", "Other"}));
    TLogoConfig read;
    LoadLogoConfig(HKEY_CURRENT_USER, read, kLogosKey, "Mine");
    EXPECT_EQ(read.ParticleCount, 1234);
    EXPECT_TRUE(dialog.editedLogo.Name.empty()) << "the edited preset keeps its own name";

    prompts.name = "mine";
    dialog.editedLogo.ParticleCount = 999;
    Click(logoPage, "cmdLogoAdd");
    EXPECT_EQ(prompts.overwriteQuestions, 1);
    LoadLogoConfig(HKEY_CURRENT_USER, read, kLogosKey, "Mine");
    EXPECT_EQ(read.ParticleCount, 1234) << "No writes nothing";
    EXPECT_EQ(Listed(logoPage, "lstLogoSchemes").size(), 2);

    auto& list = Child<QListWidget>(logoPage, "lstLogoSchemes");
    list.setCurrentRow(0);
    EXPECT_EQ(dialog.editedLogo.Name, "Mine");
    Click(logoPage, "cmdLogoRemove");
    EXPECT_FALSE(UserKeyExists(std::string(kLogosKey) + "\\Mine"));
    EXPECT_TRUE(UserKeyExists(std::string(kLogosKey) + "\\Other"));
    EXPECT_EQ(dialog.settings.LogoList, std::vector<std::string>{"Other"});
}

TEST_F(PresetPagesTest, FontDescriptionAndStoredSizes)
{
    EXPECT_EQ(FontDescription("Arial", 12, fsBold | fsItalic), "Arial 12 BI");
    EXPECT_EQ(FontDescription("Serif", 8, 0), "Serif 8 ");
    EXPECT_EQ(FontDescription("X", 9, fsStrikeOut | fsUnderline | fsBold), "X 9 BUS");

    dialog.settings.ActiveText.FontName = "Sans";
    dialog.settings.ActiveText.FontSize = -12;
    textPage.LoadPage();
    EXPECT_EQ(Child<QLabel>(textPage, "lblFont").text(), "Sans -12 ");
    QFont pixels("Serif");
    pixels.setPixelSize(32);
    pixels.setItalic(true);
    prompts.font = pixels;
    Click(textPage, "cmdSelectFont");
    EXPECT_EQ(dialog.editedText.FontSize, 24);
    EXPECT_EQ(dialog.editedText.FontStyle, fsItalic);
    EXPECT_EQ(Child<QLabel>(textPage, "lblFont").text(), "Serif 24 I");
    EXPECT_EQ(FontOf(dialog.settings.ActiveText).pointSize(), 12);
}

TEST_F(PresetPagesTest, ColourIsStoredInThePlatformLayout)
{
    textPage.LoadPage();
    prompts.color = QColor(0x11, 0x22, 0x33);
    Click(textPage, "pnlColor");
    EXPECT_EQ(dialog.editedText.Color, 0x00332211u);
    EXPECT_EQ(ColorOf(0x00332211u), QColor(0x11, 0x22, 0x33));
    prompts.color.reset();
    Click(textPage, "pnlColor");
    EXPECT_EQ(dialog.editedText.Color, 0x00332211u) << "a cancelled dialog changes nothing";
}

TEST_F(PresetPagesTest, TextFieldsCommitAsTheyShould)
{
    dialog.settings.ActiveText.Text = "one";
    textPage.LoadPage();
    auto& text = Child<QPlainTextEdit>(textPage, "txtText");
    EXPECT_EQ(text.toPlainText(), "one");
    text.setPlainText("first\nsecond");
    EXPECT_EQ(dialog.editedText.Text, "one") << "stored on leaving";
    QFocusEvent leave(QEvent::FocusOut);
    QCoreApplication::sendEvent(&text, &leave);
    EXPECT_EQ(dialog.editedText.Text, "first\nsecond");

    TypeAndLeave(Child<QLineEdit>(textPage, "txtTextRotZ"), "2.5");
    EXPECT_EQ(dialog.editedText.Rot.Z, 2.5f);
    Child<QComboBox>(textPage, "cboTextRenderMode").setCurrentIndex(1);
    EXPECT_EQ(dialog.editedText.RenderMode, TRenderMode::rmDrawMixMode);
}

TEST_F(PresetPagesTest, TextGalleryAddsLoadsAndRemoves)
{
    dialog.settings.ActiveText.Text = "hello";
    textPage.LoadPage();
    prompts.name = "Greeting";
    Click(textPage, "cmdTextAdd");
    EXPECT_EQ(prompts.askedPrompts, QStringList{"Enter a name for the new text setting"});
    EXPECT_TRUE(UserKeyExists(std::string(kTextsKey) + "\\Greeting"));
    prompts.name = "_ActiveText";
    Click(textPage, "cmdTextAdd");
    EXPECT_EQ(prompts.messages.size(), 1) << "the active preset's key is not a name";

    dialog.editedText.Text = "changed";
    Child<QListWidget>(textPage, "lstTextSchemes").setCurrentRow(0);
    EXPECT_EQ(dialog.editedText.Text, "hello");
    EXPECT_EQ(Child<QPlainTextEdit>(textPage, "txtText").toPlainText(), "hello");
    Click(textPage, "cmdTextRemove");
    EXPECT_FALSE(UserKeyExists(std::string(kTextsKey) + "\\Greeting"));
    EXPECT_TRUE(Listed(textPage, "lstTextSchemes").isEmpty());
}

} // namespace
