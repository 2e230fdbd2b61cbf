#include "CfgDialogSupport.h"

#include "config/HotkeyEdit.h"
#include "config/formCfgGeneral.h"
#include "util/CPUUtility.h"
#include "ui_formCfgGeneral.h"

namespace {

struct GeneralPage : ::testing::Test {
    void Open()
    {
        setup.Install();
        dialog = std::make_unique<TfrmCfgLumenfall>(setup.Environment());
        ASSERT_TRUE(dialog->Installed());
    }
    Ui::TfrmCfgGeneral& ui() { return dialog->GeneralPage().Controls(); }
    TBlankerSettings& settings() { return dialog->Settings(); }

    CfgInstallation setup;
    std::unique_ptr<TfrmCfgLumenfall> dialog;
};

TEST_F(GeneralPage, ShowsTheStoredSettings)
{
    TBlankerSettings& s = setup.installation.settings;
    s.WaveDuration = 45;
    s.LogoDuration = 12;
    s.TextDuration = 86400;
    s.MorphDuration = 7;
    s.WaveRandomSelection = true;
    s.WaveStartMode = TWaveStartMode::wsRememberPosition;
    s.ProcessPriority = TProcessPriority::ppHigh;
    s.FeaturesHotkey = 0x4000 | 0x2000 | 0x74; // Ctrl+Shift+F5
    s.ScreenMode = 0;
    s.OverrideDrawArea = true;
    s.OverallWidth = 80;
    s.OverallHeight = 20;
    s.StretchFullScr = false;
    Open();
    EXPECT_EQ(ui().txtWaveDuration->value(), 45);
    EXPECT_EQ(ui().txtLogoDuration->value(), 12);
    EXPECT_EQ(ui().txtTextDuration->value(), 86400);
    EXPECT_EQ(ui().txtMorphDuration->value(), 7);
    EXPECT_TRUE(ui().chkSelectWaveRnd->isChecked());
    EXPECT_TRUE(ui().rbWaveRemeber->isChecked());
    EXPECT_FALSE(ui().chkWaveEnabled->isVisibleTo(&dialog->GeneralPage()));
    EXPECT_TRUE(ui().chkLogoEnabled->isChecked());
    EXPECT_FALSE(ui().chkTextEnabled->isChecked());
    EXPECT_EQ(ui().cboPriority->currentText(), "High");
    EXPECT_EQ(ui().hkSaverFeatures->text(), "Ctrl+Shift+F5");
    // ScreenMode 0 is the first real mode, after "< Current Mode >".
    EXPECT_EQ(ui().cboScreenModes->currentIndex(), 1);
    EXPECT_EQ(ui().cboScreenModes->itemText(0), "< Current Mode >");
    EXPECT_TRUE(ui().chkOverridePresets->isChecked());
    EXPECT_EQ(ui().txtOverallWidth->value(), 80);
    EXPECT_EQ(ui().txtOverallHeight->value(), 20);
    EXPECT_FALSE(ui().chkFullscreen->isChecked());
}

TEST_F(GeneralPage, ScreenModeIndices)
{
    setup.installation.settings.ScreenMode = -1;
    Open();
    EXPECT_EQ(ui().cboScreenModes->currentText(), "< Current Mode >");

    // A mode the list does not hold selects nothing, and "Ok" keeps the stored index.
    settings().ScreenMode = 7;
    dialog->GeneralPage().LoadPage();
    EXPECT_EQ(ui().cboScreenModes->currentIndex(), -1);
    dialog->GeneralPage().SavePage();
    EXPECT_EQ(settings().ScreenMode, 7);
}

TEST_F(GeneralPage, SingleMonitorDisablesTheOptionsButShowsTheStoredChoice)
{
    setup.installation.settings.MultiMonitorMode = TMultiMonitorMode::mmAnimateEach;
    Open();
    for (QRadioButton* option : {ui().optAnimatePrimary, ui().optAnimateEach, ui().optAnimateStrechOverAll})
        EXPECT_FALSE(option->isEnabled()) << option->text().toStdString();
    EXPECT_TRUE(ui().optAnimateEach->isChecked());

    setup.monitors = 2;
    dialog->GeneralPage().LoadPage();
    EXPECT_TRUE(ui().optAnimatePrimary->isEnabled());
    EXPECT_TRUE(ui().optAnimateStrechOverAll->isEnabled());
}

TEST_F(GeneralPage, StretchOverAllTicksAndLocksTheDrawingArea)
{
    setup.monitors = 2;
    setup.installation.settings.OverrideDrawArea = false;
    setup.installation.settings.StretchFullScr = false;
    Open();
    EXPECT_FALSE(ui().txtOverallWidth->isEnabled());
    EXPECT_FALSE(ui().chkFullscreen->isEnabled());

    ui().optAnimateStrechOverAll->click();
    EXPECT_TRUE(ui().chkOverridePresets->isChecked());
    EXPECT_FALSE(ui().chkOverridePresets->isEnabled());
    EXPECT_TRUE(ui().chkFullscreen->isChecked());
    EXPECT_FALSE(ui().chkFullscreen->isEnabled());
    EXPECT_TRUE(ui().txtOverallWidth->isEnabled());
    EXPECT_TRUE(ui().txtOverallHeight->isEnabled());

    ui().optAnimatePrimary->click();
    EXPECT_TRUE(ui().chkOverridePresets->isEnabled());
    EXPECT_TRUE(ui().chkFullscreen->isEnabled());
    ui().chkOverridePresets->click();
    EXPECT_FALSE(ui().txtOverallWidth->isEnabled());
    EXPECT_FALSE(ui().chkFullscreen->isEnabled());
}

TEST_F(GeneralPage, DisplayModeAndAnimateEachExcludeEachOther)
{
    setup.monitors = 2;
    setup.installation.settings.MultiMonitorMode = TMultiMonitorMode::mmAnimateEach;
    Open();
    ui().cboScreenModes->setCurrentIndex(2);
    emit ui().cboScreenModes->activated(2);
    EXPECT_TRUE(ui().optAnimatePrimary->isChecked());

    ui().optAnimateEach->click();
    EXPECT_EQ(ui().cboScreenModes->currentIndex(), 0);

    // Choosing "< Current Mode >" leaves the option alone.
    emit ui().cboScreenModes->activated(0);
    EXPECT_TRUE(ui().optAnimateEach->isChecked());
}

TEST_F(GeneralPage, WaveDurationIsEnabledWhileALogoOrTextIsShown)
{
    setup.installation.settings.LogoEnabled = false;
    setup.installation.settings.TextEnabled = false;
    Open();
    EXPECT_FALSE(ui().txtWaveDuration->isEnabled());
    ui().chkTextEnabled->click();
    EXPECT_TRUE(ui().txtWaveDuration->isEnabled());
    ui().chkTextEnabled->click();
    ui().chkLogoEnabled->click();
    EXPECT_TRUE(ui().txtWaveDuration->isEnabled());
}

TEST_F(GeneralPage, DurationsStoreOnlyValuesInTheirRange)
{
    Open();
    ui().txtLogoDuration->setValue(300);
    EXPECT_EQ(settings().LogoDuration, 300);

    // Typed text that is no value of the field's range never reaches the settings.
    QLineEdit* text = ui().txtMorphDuration->findChild<QLineEdit*>();
    ASSERT_NE(text, nullptr);
    text->selectAll();
    SendKey(*text, Qt::Key_0, Qt::NoModifier, "0");
    EXPECT_EQ(settings().MorphDuration, 4);
    auto type = [&](const std::string& keys) {
        text->selectAll();
        for (const char c : keys)
            SendKey(*text, c >= 'a' ? Qt::Key_A + (c - 'a') : Qt::Key_0 + (c - '0'), Qt::NoModifier, QString(QChar(c)));
    };
    // Every value on the way is stored at once; the digit that would leave the range is refused.
    type("99999");
    EXPECT_EQ(settings().MorphDuration, 9999);
    type("abc");
    EXPECT_EQ(settings().MorphDuration, 9999);

    // Loading a value shows it without storing what the field clamps it to.
    settings().WaveDuration = 0;
    dialog->GeneralPage().LoadPage();
    EXPECT_EQ(ui().txtWaveDuration->value(), 1);
    EXPECT_EQ(settings().WaveDuration, 0);
}

TEST(CPUAccelerationText, NamesThePackedInstructionSets)
{
    {
        ScopedCPUFeatures none(false, false, false);
        EXPECT_EQ(CPUAccelerationText(), "no CPU acceleration found");
    }
    {
        ScopedCPUFeatures packed(true, false, false);
        EXPECT_EQ(CPUAccelerationText(), "SSE2");
    }
    {
        ScopedCPUFeatures wide(true, false, true);
        EXPECT_EQ(CPUAccelerationText(), "SSE2, AVX2");
    }
    {
        // AVX2 widens the packed paths only; without them nothing is accelerated.
        ScopedCPUFeatures alone(false, false, true);
        EXPECT_EQ(CPUAccelerationText(), "no CPU acceleration found");
    }
}

} // namespace
