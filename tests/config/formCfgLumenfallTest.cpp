#include "CfgDialogSupport.h"

#include "config/CfgHelp.h"
#include "config/HotkeyEdit.h"
#include "config/WavePreview.h"
#include "config/formCfgBigPreview.h"
#include "ui_formCfgBigPreview.h"
#include "ui_formCfgGeneral.h"
#include "ui_formCfgLumenfall.h"

#include <QAccessible>
#include <QDesktopServices>
#include <QLineEdit>
#include <QTabBar>

namespace {

// Takes the URLs the dialog asks the desktop to open.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    UrlCatcher() { QDesktopServices::setUrlHandler("file", this, "Open"); }
    ~UrlCatcher() override { QDesktopServices::unsetUrlHandler("file"); }
    std::vector<QUrl> urls;
public slots:
    void Open(const QUrl& url) { urls.push_back(url); }
};

struct CfgDialog : ::testing::Test {
    void Open()
    {
        setup.Install();
        dialog = std::make_unique<TfrmCfgLumenfall>(setup.Environment());
        ASSERT_TRUE(dialog->Installed());
    }
    Ui::TfrmCfgLumenfall& ui() { return dialog->Controls(); }
    Ui::TfrmCfgGeneral& general() { return dialog->GeneralPage().Controls(); }

    CfgInstallation setup;
    std::unique_ptr<TfrmCfgLumenfall> dialog;
};

TEST_F(CfgDialog, FrameHasTheFivePagesAndButtons)
{
    Open();
    EXPECT_EQ(dialog->windowTitle(), "Lumenfall");
    QTabWidget& pages = *ui().pgMain;
    ASSERT_EQ(pages.count(), 5);
    const char* titles[] = {"Big Preview", "General", "Waves", "Logos", "Texts"};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(pages.tabBar()->accessibleTabName(i).isEmpty() ? pages.tabText(i).remove('&') : pages.tabBar()->accessibleTabName(i),
                  titles[i]);
    EXPECT_EQ(pages.currentWidget(), ui().tshAbout);
    EXPECT_TRUE(ui().cmdApply->isDefault());
    EXPECT_FALSE(ui().cmdOk->isDefault());
    EXPECT_EQ(dialog->PreviewTimer().interval(), 30);
    EXPECT_FALSE(dialog->PreviewTimer().isActive());
    EXPECT_EQ(dialog->SmallPreviewBox().size(), QSize(209, 185));
    EXPECT_EQ(dialog->BigPreview().size(), QSize(409, 309));
    EXPECT_EQ(dialog->HelpFile(), setup.HelpFile());

    dialog->show();
    EXPECT_TRUE(dialog->PreviewTimer().isActive());
    SendKey(*dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(dialog->PreviewTimer().isActive());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
}

TEST_F(CfgDialog, PreviewsDrawOnlyOnTheirPages)
{
    Open();
    TWavePreview& small = dialog->SmallPreviewBox();
    TWavePreview& big = dialog->BigPreview();
    for (QWidget* page : {ui().tshGeneral, ui().tshLogos, ui().tshTexts}) {
        ui().pgMain->setCurrentWidget(page);
        dialog->PreviewTick();
    }
    EXPECT_EQ(small.FrameCount(), 0);
    EXPECT_EQ(big.FrameCount(), 0);
    ui().pgMain->setCurrentWidget(ui().tshAbout);
    dialog->PreviewTick();
    EXPECT_EQ(big.FrameCount(), 1);
    ui().pgMain->setCurrentWidget(ui().tshWaves);
    dialog->PreviewTick();
    dialog->PreviewTick();
    EXPECT_EQ(small.FrameCount(), 2);
    EXPECT_EQ(big.FrameCount(), 1);
}

TEST_F(CfgDialog, OkStoresExactlyThePagesSettings)
{
    Open();
    const TLogoConfig logoBefore = dialog->Settings().ActiveLogo;
    general().txtWaveDuration->setValue(77);
    general().txtMorphDuration->setValue(9);
    general().chkSelectLogoRnd->click();
    general().chkTextEnabled->click();
    general().rbWaveRemeber->click();
    general().cboPriority->setCurrentIndex(1);
    general().cboScreenModes->setCurrentIndex(2);
    general().chkOverridePresets->click();
    general().txtOverallWidth->setValue(33);
    general().hkSaverFeatures->SetHotkey(0x8046);
    dialog->EditedWave().ParticleCount = 123;
    dialog->EditedText().Text = "edited";
    dialog->accept();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);

    TBlankerSettings stored;
    ASSERT_TRUE(LoadBlankerSettings(stored));
    EXPECT_EQ(stored.WaveDuration, 77);
    EXPECT_EQ(stored.MorphDuration, 9);
    EXPECT_EQ(stored.LogoDuration, setup.installation.settings.LogoDuration);
    EXPECT_TRUE(stored.LogoRandomSelection);
    EXPECT_FALSE(stored.WaveRandomSelection);
    EXPECT_TRUE(stored.TextEnabled);
    EXPECT_TRUE(stored.LogoEnabled);
    EXPECT_TRUE(stored.WaveEnabled);
    EXPECT_EQ(stored.WaveStartMode, TWaveStartMode::wsRememberPosition);
    EXPECT_EQ(stored.ProcessPriority, TProcessPriority::ppLow);
    EXPECT_EQ(stored.ScreenMode, 1);
    EXPECT_TRUE(stored.OverrideDrawArea);
    EXPECT_EQ(stored.OverallWidth, 33);
    EXPECT_EQ(stored.OverallHeight, setup.installation.settings.OverallHeight);
    EXPECT_EQ(stored.FeaturesHotkey, 0x8046);
    EXPECT_EQ(stored.MultiMonitorMode, TMultiMonitorMode::mmAnimatePrimary);
    EXPECT_EQ(stored.ActiveWave->ParticleCount, 123);
    EXPECT_EQ(stored.ActiveWave->Waves, setup.installation.wave.Waves);
    EXPECT_EQ(stored.ActiveText.Text, "edited");
    EXPECT_EQ(stored.ActiveLogo.Path, logoBefore.Path);
    EXPECT_EQ(stored.ActiveLogo.ParticleCount, logoBefore.ParticleCount);
}

TEST_F(CfgDialog, OkThatCannotStoreKeepsTheDialogOpen)
{
    Open();
    dialog->show();
    general().txtWaveDuration->setValue(61);
    // A folder where the user hive should be: nothing can be written.
    std::filesystem::remove(setup.UserHive());
    std::filesystem::create_directory(setup.UserHive());
    MessageBoxWatcher boxes;
    ui().cmdOk->click();
    EXPECT_FALSE(boxes.texts.empty());
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(dialog->PreviewTimer().isActive());
    EXPECT_EQ(dialog->Settings().WaveDuration, 61);
}

TEST_F(CfgDialog, CancelLeavesTheUserHiveAsItWas)
{
    Open();
    const std::string before = setup.UserHiveBytes();
    ASSERT_FALSE(before.empty());
    general().txtWaveDuration->setValue(99);
    general().txtLogoDuration->setValue(98);
    general().hkSaverFeatures->setFocus();
    SendKey(*general().hkSaverFeatures, Qt::Key_Q, Qt::NoModifier, "q");
    EXPECT_EQ(general().hkSaverFeatures->Hotkey(), 0x4051);
    dialog->EditedWave().ParticleCount = 5;
    ui().cmdCancel->click();
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(setup.UserHiveBytes(), before);
}

TEST_F(CfgDialog, ApplyShowsTheEditedWaveInBothBoxes)
{
    Open();
    TWaveConfig& edited = dialog->EditedWave();
    edited.Width = 50;
    edited.Height = 100;
    edited.Waves[0][waX].AMBase = 10;
    edited.Waves[0][waY].AMBase = 10;
    edited.TransMapFilter = true;
    edited.TransMapStyle = TTransMapStyle::tmsWaved;
    edited.SinMagicParams[smrAmplitudesX][0] = 2;
    edited.SinMagicParams[smrFrequenciesX][0] = 3;
    edited.ZoomCenterX = 50;
    ui().cmdApply->click();

    // The applied preset is the edited one scaled from its area to the last box, the big one.
    const TWaveConfig& applied = dialog->AppliedWave();
    EXPECT_EQ(applied.Width, 409);
    EXPECT_EQ(applied.Height, 309);
    EXPECT_FLOAT_EQ(applied.Waves[0][waX].AMBase, 10.0f * 409 / 50);
    EXPECT_FLOAT_EQ(applied.Waves[0][waY].AMBase, 10.0f * 309 / 100);
    EXPECT_EQ(edited.Width, 50);
    EXPECT_EQ(dialog->BigPreview().System().Waves[0][waX].AMBase, applied.Waves[0][waX].AMBase);
    EXPECT_FLOAT_EQ(dialog->SmallPreviewBox().System().Waves[0][waX].AMBase, 10.0f * 209 / 50);

    // The shift map's amplitudes are percent of the box.
    TSinMagicParams params = applied.SinMagicParams;
    params[smrAmplitudesX][0] = 2 * (409.0f / 100.0f);
    TTranslationMap expected(409, 309);
    expected.BuildShiftMap(params);
    EXPECT_EQ(dialog->BigPreview().Map().Entries(), expected.Entries());
}

TEST_F(CfgDialog, OkCommitsTheFocusedFieldFirst)
{
    Open();
    // A field of the kind the preset pages have: it stores its text when it is left.
    auto* field = new QLineEdit(ui().tshLogos);
    std::string stored;
    struct Leave : QObject {
        std::function<void()> left;
        bool eventFilter(QObject*, QEvent* e) override
        {
            if (e->type() == QEvent::FocusOut)
                left();
            return false;
        }
    } leave;
    leave.left = [&] { stored = field->text().toStdString(); };
    field->installEventFilter(&leave);
    ui().pgMain->setCurrentWidget(ui().tshLogos);
    dialog->show();
    dialog->activateWindow();
    QApplication::setActiveWindow(dialog.get());
    field->setFocus();
    ASSERT_TRUE(field->hasFocus());
    field->setText("12.5");
    // Enter presses "Apply", the default button.
    SendKey(*field, Qt::Key_Return);
    EXPECT_EQ(stored, "12.5");
    EXPECT_TRUE(field->hasFocus());
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(CfgDialog, HelpOpensTheGuideAtTheTopic)
{
    Open();
    UrlCatcher catcher;
    ui().cmdHelp->click();
    ui().pgMain->setCurrentWidget(ui().tshGeneral);
    dialog->show();
    QApplication::setActiveWindow(dialog.get());
    general().chkFullscreen->setFocus();
    SendKey(*general().chkFullscreen, Qt::Key_F1);
    // A control that names its own topic wins over its page's.
    general().grpMisc->setProperty(kHelpContextProperty, int(hcWaveComponent));
    general().cboPriority->setFocus();
    SendKey(*general().cboPriority, Qt::Key_F1);
    Ui::TfrmCfgBigPreview& big = dialog->BigPreviewPage().Controls();
    SendMouse(*big.imgTitle, QEvent::MouseButtonRelease, QPoint(5, 5), Qt::NoButton);
    SendMouse(*big.lblAboutText, QEvent::MouseButtonRelease, QPoint(5, 5), Qt::NoButton);

    const QUrl guide = QUrl::fromLocalFile(QString::fromStdString(setup.HelpFile()));
    ASSERT_EQ(catcher.urls.size(), 5u);
    EXPECT_EQ(catcher.urls[0], guide);
    EXPECT_EQ(catcher.urls[1].fragment(), "general");
    EXPECT_EQ(catcher.urls[2].fragment(), "wave-components");
    EXPECT_EQ(catcher.urls[3].fragment(), "overview");
    EXPECT_EQ(catcher.urls[4].fragment(), "about");
    EXPECT_EQ(catcher.urls[4].adjusted(QUrl::RemoveFragment), guide);
}

TEST_F(CfgDialog, HelpWithoutAGuideSaysSo)
{
    Open();
    UrlCatcher catcher;
    MessageBoxWatcher boxes;
    std::filesystem::remove(setup.HelpFile());
    ui().cmdHelp->click();
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_NE(boxes.texts[0].find("cannot be found"), std::string::npos);
    EXPECT_TRUE(catcher.urls.empty());
}

TEST(CfgHelp, RelativeGuideIsFoundBesideTheMachineHive)
{
    TTemporaryHives hives("help");
    THive machine(HKEY_LOCAL_MACHINE);
    machine.SetValue(kSettingsKey, "Help", TRegData::String("help/index.html"));
    machine.SaveToFile(hives.MachineHive().string());
    EXPECT_EQ(ReadHelpFile(), (hives.Folder() / "help" / "index.html").string());
    machine.SetValue(kSettingsKey, "Help", TRegData::String(""));
    machine.SaveToFile(hives.MachineHive().string());
    EXPECT_EQ(ReadHelpFile(), "");
    EXPECT_EQ(HelpTopicUrl("/x/guide.html", 12345).fragment(), "");
}

TEST(CfgHelp, EveryTopicIsAnAnchorOfTheGuide)
{
    // The build stages the guide from the source tree.
    std::ifstream in(std::filesystem::path(LUMENFALL_TEST_BUILD_DIR) / "share" / "lumenfall" / "help" / "index.html");
    const std::string guide{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_FALSE(guide.empty());
    for (const int context : {hcWaveComponent, hcOverview, hcAboutText, hcLogoPicture, hcGeneral, hcWaves, hcLogos, hcTexts}) {
        const std::string anchor = HelpAnchor(context).toStdString();
        EXPECT_FALSE(anchor.empty()) << context;
        EXPECT_NE(guide.find("id=\"" + anchor + "\""), std::string::npos) << anchor;
    }
}

TEST(CfgDialogRun, NotInstalledSaysSoAndEndsWithStatus2)
{
    TTemporaryHives hives("notinstalled");
    MessageBoxWatcher boxes;
    EXPECT_EQ(RunConfigurationDialog(), 2);
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(boxes.texts[0], "Lumenfall is not installed. Please run the setup program.");
    EXPECT_FALSE(std::filesystem::exists(hives.UserHive()));
}

TEST_F(CfgDialog, RandomIsInTheUnitInterval)
{
    Open();
    float low = 1, high = 0;
    for (int i = 0; i < 10000; ++i) {
        const float r = dialog->Random();
        ASSERT_GE(r, 0.0f);
        ASSERT_LT(r, 1.0f);
        low = std::min(low, r);
        high = std::max(high, r);
    }
    EXPECT_LT(low, 0.01f);
    EXPECT_GT(high, 0.99f);
}

QString AccessibleName(QObject* object)
{
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(object);
    return a ? a->text(QAccessible::Name) : QString();
}

// The caption a control shows: its text, or that of the label that names it.
QString Caption(QWidget* control)
{
    if (auto* button = qobject_cast<QAbstractButton*>(control))
        return button->text().remove('&');
    for (QLabel* label : control->window()->findChildren<QLabel*>())
        if (label->buddy() == control)
            return label->text().remove('&');
    return {};
}

TEST_F(CfgDialog, EveryControlIsNamedByItsCaption)
{
    Open();
    dialog->show();
    for (QPushButton* button : {ui().cmdOk, ui().cmdApply, ui().cmdCancel, ui().cmdHelp, ui().cmdAbout})
        EXPECT_EQ(AccessibleName(button), button->text().remove('&'));
    EXPECT_EQ(AccessibleName(ui().cmdOk), "Ok");

    int checked = 0;
    for (QWidget* control : dialog->GeneralPage().findChildren<QWidget*>()) {
        const bool isControl = qobject_cast<QAbstractButton*>(control) || qobject_cast<QAbstractSpinBox*>(control) ||
                               qobject_cast<QComboBox*>(control) || dynamic_cast<THotkeyEdit*>(control);
        if (!isControl)
            continue;
        ++checked;
        EXPECT_FALSE(Caption(control).isEmpty()) << control->objectName().toStdString();
        if (qobject_cast<QComboBox*>(control)) {
            // Qt names a list box on Linux by its current entry and links the caption as
            // its label.
            EXPECT_EQ(control->accessibleName(), Caption(control));
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(control);
            const auto labels = a->relations(QAccessible::Label);
            ASSERT_FALSE(labels.empty()) << control->objectName().toStdString();
            EXPECT_EQ(labels[0].first->text(QAccessible::Name).remove('&'), Caption(control));
            continue;
        }
        EXPECT_EQ(AccessibleName(control), Caption(control)) << control->objectName().toStdString();
    }
    EXPECT_EQ(checked, 22);

    // "Duration" in group "Waves": the group is the spin box's accessible parent.
    QAccessibleInterface* duration = QAccessible::queryAccessibleInterface(general().txtWaveDuration);
    ASSERT_NE(duration, nullptr);
    ASSERT_NE(duration->parent(), nullptr);
    EXPECT_EQ(duration->parent()->text(QAccessible::Name), "Waves");

    // The tab bar names the pages.
    QAccessibleInterface* tabs = QAccessible::queryAccessibleInterface(ui().pgMain->tabBar());
    ASSERT_NE(tabs, nullptr);
    QStringList names;
    for (int i = 0; i < tabs->childCount(); ++i)
        names << tabs->child(i)->text(QAccessible::Name);
    EXPECT_TRUE(names.contains("General")) << names.join(",").toStdString();
    EXPECT_TRUE(names.contains("Big Preview")) << names.join(",").toStdString();
}

} // namespace

#include "formCfgLumenfallTest.moc"
