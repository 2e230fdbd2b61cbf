#include "config/WavePage.h"

#include "config/GalleryThumbnails.h"
#include "config/FakeCfgDialog.h"
#include "config/PageTestSupport.h"
#include "config/DecimalField.h"
#include "config/WavePanel.h"
#include "persistence/TemporaryHives.h"
#include "persistence/SettingsStore.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QListWidget>
#include <QTabWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

std::string Bytes(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class WavePageTest : public ::testing::Test {
protected:
    WavePageTest()
    {
        fs::create_directories(InstallFolder());
        dialog.settings.WavesDirectory = InstallFolder().string() + "/";
        dialog.settings.UserWavesDirectory = UserWavesDirectory();
        page.SetPrompts(prompts);
    }

    fs::path InstallFolder() const { return hives.Folder() / "waves"; }
    fs::path UserFolder() const { return hives.UserWavesFolder(); }

    static void WriteWave(const fs::path& file, int32_t particles)
    {
        fs::create_directories(file.parent_path());
        TWaveConfig wave;
        wave.ParticleCount = particles;
        wave.SaveToFile(file.string());
    }

    void Open()
    {
        dialog.settings.WaveList = ListWavePresets(dialog.settings.WavesDirectory, dialog.settings.UserWavesDirectory);
        page.LoadPage();
    }

    QStringList Listed() const
    {
        QStringList names;
        const auto& list = Child<QListWidget>(page, "lstWaveSchemes");
        for (int i = 0; i < list.count(); ++i)
            names << list.item(i)->text();
        return names;
    }

    void Select(const QString& name)
    {
        auto& list = Child<QListWidget>(page, "lstWaveSchemes");
        list.setCurrentItem(list.findItems(name, Qt::MatchExactly).front());
    }

    TWavePanel& Panel(const char* name) const { return Child<TWavePanel>(page, name); }
    QLineEdit& Field(const char* name) const { return Child<QLineEdit>(page, name); }

    TTemporaryHives hives{"wavepage"};
    TFakeCfgDialog dialog;
    TFakePrompts prompts;
    TWavePage page{dialog};
};

TEST_F(WavePageTest, PanelsStandAtTheirPlacesWithoutTabStops)
{
    const std::pair<const char*, QRect> places[] = {{"pnlWave1X", {0, 0, 209, 185}},
                                                    {"pnlWave2Y", {209, 0, 209, 185}},
                                                    {"pnlWave3Z", {0, 185, 209, 185}}};
    for (const auto& [name, rect] : places)
        EXPECT_EQ(Panel(name).geometry(), rect) << name;
    TWavePanel& panel = Panel("pnlWave1Y");
    EXPECT_EQ(panel.title(), "Y-Axis");
    EXPECT_EQ(panel.accessibleName(), "Y-Axis");
    EXPECT_EQ(Child<QLineEdit>(panel, "txtPhase").geometry(), QRect(72, 24, 57, 22));
    EXPECT_EQ(Child<QWidget>(panel, "cmdZero").geometry(), QRect(136, 24, 57, 22));
    EXPECT_EQ(Child<QWidget>(panel, "pnlGrid").geometry(), QRect(8, 56, 193, 121));
    EXPECT_EQ(Child<QLineEdit>(panel, "txtFMFrequency").geometry(), QRect(128, 92, 57, 22));
    EXPECT_EQ(Child<QLineEdit>(panel, "txtAMAmplitude").accessibleName(), "AM Amplitude");
    for (const QWidget* control : panel.findChildren<QWidget*>())
        EXPECT_FALSE(control->focusPolicy() & Qt::TabFocus) << control->objectName().toStdString();
}

TEST_F(WavePageTest, PanelFieldsCommitOnLeavingAndReadAllSeven)
{
    Open();
    TWaveComponent& x = dialog.editedWave.Waves[1][waX];
    x = {10, 20, 30, 40, 50, 60, 70};
    page.ShowPreset(dialog.editedWave);
    TWavePanel& panel = Panel("pnlWave2X");
    EXPECT_EQ(Child<QLineEdit>(panel, "txtAMFrequency").text(), "40");

    // Typed but not yet left: nothing stored.
    Child<QLineEdit>(panel, "txtFMBase").setText("1.5");
    EXPECT_EQ(x.FMBase, 50.0f);
    TypeAndLeave(Child<QLineEdit>(panel, "txtPhase"), "abc");
    EXPECT_EQ(x.Phase, 0.0f);
    EXPECT_EQ(Child<QLineEdit>(panel, "txtPhase").text(), "abc");
    EXPECT_EQ(x.FMBase, 1.5f) << "leaving one field reads all seven";
    EXPECT_EQ(x.AMBase, 20.0f);

    Click(panel, "cmdZero");
    EXPECT_EQ(x, TWaveComponent{});
    EXPECT_EQ(Child<QLineEdit>(panel, "txtPhase").text(), "0");
    EXPECT_EQ(dialog.editedWave.Waves[1][waY], TWaveComponent{}) << "other components untouched";
    EXPECT_EQ(dialog.editedWave.Waves[0][waX].AMBase, 128.0f);
}

TEST_F(WavePageTest, DecimalsShowSevenSignificantDigits)
{
    dialog.editedWave.Speed = 0.123456789f;
    dialog.editedWave.Angle = {1234567.0f, 12345678.0f, -0.00001f};
    page.ShowPreset(dialog.editedWave);
    EXPECT_EQ(Field("txtSpeed").text(), "0.1234568");
    EXPECT_EQ(Field("txtWaveAngleX").text(), "1234567");
    EXPECT_EQ(Field("txtWaveAngleY").text(), "1.234568e+07");
    EXPECT_EQ(Field("txtWaveAngleZ").text(), "-1e-05");
}

TEST_F(WavePageTest, ColorFieldsReadTheirColumnOnly)
{
    Open();
    Field("txtRedShift").setText("9");
    Field("txtRedFrq").setText("2");
    TypeAndLeave(Field("txtBlueFrq"), "3");
    EXPECT_EQ(dialog.editedWave.FreqRed, 2.0f);
    EXPECT_EQ(dialog.editedWave.FreqGreen, 1.0f);
    EXPECT_EQ(dialog.editedWave.FreqBlue, 3.0f);
    EXPECT_EQ(dialog.editedWave.ShiftRed, 0.1f) << "another column is not read";

    TypeAndLeave(Field("txtWaveRotY"), "x");
    Field("txtWaveRotX").setText("5");
    TypeAndLeave(Field("txtWaveRotZ"), "1e40");
    EXPECT_EQ(dialog.editedWave.Rot.X, 5.0f);
    EXPECT_EQ(dialog.editedWave.Rot.Y, 0.0f);
    EXPECT_EQ(dialog.editedWave.Rot.Z, 0.0f) << "no finite Single: stored as 0";
}

TEST_F(WavePageTest, ChangeFieldsApplyAtOnceButNotWhileLoading)
{
    Open();
    QLineEdit& speed = Field("txtSpeed");
    speed.setText("0.25");
    EXPECT_EQ(dialog.editedWave.Speed, 0.25f);
    speed.setText("0.2x");
    EXPECT_EQ(dialog.editedWave.Speed, 0.25f) << "text that does not read is ignored";
    Child<QSpinBox>(page, "txtWaveParticles").setValue(1234);
    Child<QComboBox>(page, "cboWaveRenderMode").setCurrentIndex(2);
    Child<QCheckBox>(page, "chkWaveSmooth").setChecked(true);
    Child<QComboBox>(page, "cboWaveTransMapMode").setCurrentIndex(1);
    EXPECT_EQ(dialog.editedWave.ParticleCount, 1234);
    EXPECT_EQ(dialog.editedWave.RenderMode, TRenderMode::rmDrawStars);
    EXPECT_TRUE(dialog.editedWave.SmoothFilter);
    EXPECT_EQ(dialog.editedWave.TransMapMode, TTransMapMode::tmmApplyAfter);

    dialog.loading = true;
    Child<QSpinBox>(page, "txtWaveParticles").setValue(77);
    speed.setText("3");
    EXPECT_EQ(dialog.editedWave.ParticleCount, 1234);
    EXPECT_EQ(dialog.editedWave.Speed, 0.25f);
}

TEST_F(WavePageTest, ShowingAPresetNeverChangesIt)
{
    TWaveConfig preset;
    preset.ParticleCount = 100000; // beyond the spin edit's range
    preset.Width = 256;           // beyond the drawing area's range
    preset.ZoomCenterX = 150;
    preset.MotionBlur = 12;
    preset.Speed = 0.123456789f;
    preset.SinMagicParams[1][2] = 1.0f / 3.0f;
    preset.TransMapStyle = TTransMapStyle::tmsWavedZoomCombined;
    const fs::path before = hives.Folder() / "before.lmx", after = hives.Folder() / "after.lmx";
    preset.SaveToFile(before.string());
    dialog.settings.ActiveWave->Assign(preset);
    Open();
    dialog.editedWave.SaveToFile(after.string());
    EXPECT_EQ(Bytes(before), Bytes(after));
    EXPECT_FALSE(dialog.loading);
    EXPECT_EQ(Child<QSpinBox>(page, "txtWaveParticles").value(), 40000);
}

TEST_F(WavePageTest, DrawingAreaIsClampedAndRescaledWithConstrainedProportions)
{
    dialog.settings.ActiveWave->Width = 50;
    dialog.settings.ActiveWave->Height = 50;
    dialog.settings.ActiveWave->Waves[0][waX].AMBase = 10;
    Open();
    TypeAndLeave(Child<QSpinBox>(page, "txtWidth"), "5");
    EXPECT_EQ(Child<QSpinBox>(page, "txtWidth").value(), 10);
    EXPECT_EQ(dialog.editedWave.Width, 10);
    EXPECT_EQ(dialog.editedWave.Waves[0][waX].AMBase, 2.0f);
    EXPECT_EQ(Child<QLineEdit>(Panel("pnlWave1X"), "txtAMBase").text(), "2") << "shown again";

    Child<QCheckBox>(page, "chkConstrainProp").setChecked(false);
    TypeAndLeave(Child<QSpinBox>(page, "txtHeight"), "100");
    EXPECT_EQ(dialog.editedWave.Height, 100);
    EXPECT_EQ(dialog.editedWave.Waves[0][waX].AMBase, 2.0f) << "not rescaled";
}

// The fixed draws 0, 1/16, 2/16, ... show the draw order in the values.
std::deque<float> Sixteenths()
{
    std::deque<float> draws;
    for (int i = 0; i < 16; ++i)
        draws.push_back(float(i) / 16.0f);
    return draws;
}

TEST_F(WavePageTest, RandomWaveShiftFillsMatrixOneInOrder)
{
    dialog.settings.ActiveWave->SinMagicParams2[3][3] = 7.0f;
    Open();
    dialog.randoms = Sixteenths();
    Click(page, "cmdRandom");
    const TSinMagicParams& m = dialog.editedWave.SinMagicParams;
    // Amplitudes: X1 Y1 X2 Y2 ... from the first eight draws, in [-4, 4).
    EXPECT_EQ(m[0][0], -4.0f);
    EXPECT_EQ(m[2][0], 1.0f / 16.0f * 8.0f - 4.0f);
    EXPECT_EQ(m[0][3], 6.0f / 16.0f * 8.0f - 4.0f);
    EXPECT_EQ(m[2][3], 7.0f / 16.0f * 8.0f - 4.0f);
    // Frequencies from the last eight, in [-12, 12).
    EXPECT_EQ(m[1][0], 8.0f / 16.0f * 24.0f - 12.0f);
    EXPECT_EQ(m[3][3], 15.0f / 16.0f * 24.0f - 12.0f);
    EXPECT_EQ(dialog.randomsDrawn, 16);
    EXPECT_EQ(dialog.editedWave.SinMagicParams2[3][3], 7.0f) << "matrix 2 untouched";
    EXPECT_EQ(Field("txtWaveTransFrqY4").text(), FormatDecimal(m[3][3]));

    dialog.randoms.assign(16, 0.99999994f); // the largest draw below 1
    Click(page, "cmdRandom");
    EXPECT_LT(m[0][0], 4.0f);
    EXPECT_LT(m[1][0], 12.0f);
}

TEST_F(WavePageTest, RandomBoundsFollowStyleAndMatrixPage)
{
    Open();
    auto& style = Child<QComboBox>(page, "cboWaveTransMapStyle");
    auto& matrices = Child<QTabWidget>(page, "pgMatrix");
    style.setCurrentIndex(int(TTransMapStyle::tmsWavedZoom));
    EXPECT_FALSE(matrices.isTabEnabled(1));
    EXPECT_FALSE(Child<QWidget>(page, "cmdSwapMatrix").isEnabled());
    dialog.randoms.assign(16, 0.0f);
    Click(page, "cmdRandom");
    EXPECT_EQ(dialog.editedWave.SinMagicParams[0][0], -0.1f);
    EXPECT_EQ(dialog.editedWave.SinMagicParams[1][0], -12.0f);

    style.setCurrentIndex(int(TTransMapStyle::tmsWavedZoomCombined));
    EXPECT_TRUE(matrices.isTabEnabled(1));
    EXPECT_TRUE(Child<QWidget>(page, "cmdSwapMatrix").isEnabled());
    matrices.setCurrentIndex(1);
    dialog.randoms.assign(16, 0.0f);
    Click(page, "cmdRandom");
    EXPECT_EQ(dialog.editedWave.SinMagicParams2[2][1], -0.1f);
    matrices.setCurrentIndex(0);
    dialog.randoms.assign(16, 0.0f);
    Click(page, "cmdRandom");
    EXPECT_EQ(dialog.editedWave.SinMagicParams[2][1], -4.0f);
}

TEST_F(WavePageTest, SwapAndZeroActOnTheMatrices)
{
    dialog.settings.ActiveWave->TransMapStyle = TTransMapStyle::tmsWavedZoomCombined;
    dialog.settings.ActiveWave->SinMagicParams[0][1] = 1.0f;
    dialog.settings.ActiveWave->SinMagicParams2[3][2] = 2.0f;
    Open();
    Click(page, "cmdSwapMatrix");
    EXPECT_EQ(dialog.editedWave.SinMagicParams[3][2], 2.0f);
    EXPECT_EQ(dialog.editedWave.SinMagicParams2[0][1], 1.0f);
    EXPECT_EQ(Field("txtWave2TransAmpX2").text(), "1");

    Child<QTabWidget>(page, "pgMatrix").setCurrentIndex(1);
    Click(page, "cmdWaveTransZero");
    EXPECT_EQ(dialog.editedWave.SinMagicParams2, TSinMagicParams{});
    EXPECT_EQ(dialog.editedWave.SinMagicParams[3][2], 2.0f);

    // A field of a row reads its row of four.
    Field("txtWaveTransAmpY1").setText("0.5");
    TypeAndLeave(Field("txtWaveTransAmpY3"), "-1");
    EXPECT_EQ(dialog.editedWave.SinMagicParams[2][0], 0.5f);
    EXPECT_EQ(dialog.editedWave.SinMagicParams[2][2], -1.0f);
}

TEST_F(WavePageTest, TransformFieldsAndZoomCentre)
{
    Open();
    Child<QCheckBox>(page, "chkWaveUseTransMap").setChecked(true);
    EXPECT_TRUE(dialog.editedWave.TransMapFilter);
    Child<QSpinBox>(page, "txtWaveZoomCenterY").setValue(30);
    EXPECT_EQ(dialog.editedWave.ZoomCenterY, 0) << "stored on leaving";
    TypeAndLeave(Child<QSpinBox>(page, "txtWaveZoomCenterX"), "40");
    EXPECT_EQ(dialog.editedWave.ZoomCenterX, 40);
    EXPECT_EQ(dialog.editedWave.ZoomCenterY, 30);
}

TEST_F(WavePageTest, SmallPreviewFollowsTheSubPage)
{
    Open();
    auto& pages = Child<QTabWidget>(page, "pgParticleCfg");
    EXPECT_EQ(dialog.preview.parentWidget(), &Child<QWidget>(page, "galleryPreviewSlot"));
    pages.setCurrentWidget(&Child<QWidget>(page, "tsWave2"));
    EXPECT_EQ(dialog.preview.parentWidget(), &Child<QWidget>(page, "tsWave2"));
    EXPECT_EQ(dialog.preview.geometry(), QRect(209, 185, 209, 185));
    EXPECT_FALSE(dialog.preview.isHidden());
    pages.setCurrentWidget(&Child<QWidget>(page, "tshSubWaveSystem"));
    EXPECT_TRUE(dialog.preview.isHidden());
    pages.setCurrentWidget(&Child<QWidget>(page, "tsTransform"));
    EXPECT_EQ(dialog.preview.parentWidget(), &Child<QWidget>(page, "transformPreviewSlot"));
    EXPECT_FALSE(dialog.preview.isHidden());
}

TEST_F(WavePageTest, PanelsNameTheirHelpTopic)
{
    EXPECT_EQ(Panel("pnlWave3Y").property(kHelpContextProperty).toInt(), 8);
    EXPECT_EQ(page.HelpContext(), hcWaves);
}

TEST_F(WavePageTest, AddWritesANewPresetIntoTheUsersFolder)
{
    WriteWave(InstallFolder() / "Shipped.lmx", 10);
    Open();
    dialog.editedWave.ParticleCount = 4321;
    prompts.name = "Mine";
    Click(page, "cmdWaveAdd");
    EXPECT_EQ(prompts.askedPrompts, QStringList{"Enter a name for the new wave setting"});
    const fs::path written = UserFolder() / "Mine.lmx";
    ASSERT_TRUE(fs::exists(written)) << "the folder is created on the first write";
    EXPECT_EQ(fs::file_size(written), WaveFileSize);
    TWaveConfig read;
    read.LoadFromFile(written.string());
    EXPECT_EQ(read.ParticleCount, 4321);
    EXPECT_EQ(Listed(), (QStringList{"Mine", "Shipped"}));
    EXPECT_EQ(dialog.settings.WaveList, (std::vector<std::string>{"Mine", "Shipped"}));
    EXPECT_EQ(dialog.editedWave.Name, "Empty") << "the edited preset keeps its name";
}

TEST_F(WavePageTest, AddWithAListedNameAsksBeforeOverwriting)
{
    WriteWave(InstallFolder() / "Shipped.lmx", 10);
    Open();
    prompts.name = "SHIPPED";
    Click(page, "cmdWaveAdd");
    EXPECT_EQ(prompts.overwriteQuestions, 1);
    EXPECT_FALSE(fs::exists(UserFolder())) << "No writes nothing";
    EXPECT_EQ(Listed(), QStringList{"Shipped"});

    prompts.overwrite = true;
    dialog.editedWave.ParticleCount = 99;
    Click(page, "cmdWaveAdd");
    EXPECT_TRUE(fs::exists(UserFolder() / "Shipped.lmx")) << "the user's copy shadows the shipped one";
    EXPECT_EQ(Listed(), QStringList{"Shipped"});
    TWaveConfig shipped;
    shipped.LoadFromFile((InstallFolder() / "Shipped.lmx").string());
    EXPECT_EQ(shipped.ParticleCount, 10) << "the installation is never written";
}

TEST_F(WavePageTest, BadNamesAreRefusedAndNothingIsWritten)
{
    Open();
    for (const QString& name : {QString(""), QString("  "), QString("a/b"), QString("a\\b"), QString("two\nlines"),
                                QString("_activeWave"), QString(201, 'x'), QString(101, QChar(0xE9))}) {
        prompts.name = name;
        prompts.messages.clear();
        Click(page, "cmdWaveAdd");
        EXPECT_EQ(prompts.messages.size(), 1) << name.toStdString();
    }
    EXPECT_FALSE(fs::exists(UserFolder()));
    EXPECT_TRUE(Listed().isEmpty());

    prompts.name = QString(200, 'x');
    Click(page, "cmdWaveAdd");
    EXPECT_EQ(Listed().size(), 1) << "200 bytes are allowed";
    prompts.name.reset(); // cancelled
    Click(page, "cmdWaveAdd");
    EXPECT_EQ(Listed().size(), 1);
}

TEST_F(WavePageTest, ChangeAndRemoveNeedASelection)
{
    WriteWave(UserFolder() / "Mine.lmx", 10);
    Open();
    Click(page, "cmdWaveChange");
    Click(page, "cmdWaveRemove");
    EXPECT_TRUE(fs::exists(UserFolder() / "Mine.lmx"));
    EXPECT_EQ(Listed(), QStringList{"Mine"});
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(WavePageTest, SelectingLoadsTheUsersFileFirstAndApplies)
{
    WriteWave(InstallFolder() / "Both.lmx", 10);
    WriteWave(UserFolder() / "Both.lmx", 20);
    WriteWave(InstallFolder() / "Shipped.lmx", 30);
    Open();
    EXPECT_EQ(Listed(), (QStringList{"Both", "Shipped"}));
    Select("Both");
    EXPECT_EQ(dialog.editedWave.ParticleCount, 20);
    EXPECT_EQ(dialog.editedWave.Name, "Both");
    EXPECT_EQ(Child<QSpinBox>(page, "txtWaveParticles").value(), 20);
    EXPECT_EQ(dialog.applied, 1);
    Select("Shipped");
    EXPECT_EQ(dialog.editedWave.ParticleCount, 30);
}

TEST_F(WavePageTest, ChangeWritesTheSelectedEntryNotTheEditedName)
{
    WriteWave(UserFolder() / "First.lmx", 10);
    WriteWave(UserFolder() / "Second.lmx", 20);
    Open();
    Select("First");
    // A file that fails to load leaves the edited preset as it was, named "First".
    fs::remove(UserFolder() / "Second.lmx");
    Select("Second");
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(dialog.editedWave.Name, "First");
    dialog.editedWave.ParticleCount = 55;
    Click(page, "cmdWaveChange");
    TWaveConfig first, second;
    first.LoadFromFile((UserFolder() / "First.lmx").string());
    second.LoadFromFile((UserFolder() / "Second.lmx").string());
    EXPECT_EQ(first.ParticleCount, 10);
    EXPECT_EQ(second.ParticleCount, 55);
}

TEST_F(WavePageTest, RemoveDeletesTheSelectedUsersFileOnly)
{
    WriteWave(UserFolder() / "First.lmx", 10);
    WriteWave(UserFolder() / "Second.lmx", 20);
    WriteWave(UserFolder() / "Both.lmx", 30);
    WriteWave(InstallFolder() / "Both.lmx", 40);
    Open();
    Select("First");
    Child<QListWidget>(page, "lstWaveSchemes").setCurrentRow(2); // "Second", with the keyboard
    Click(page, "cmdWaveRemove");
    EXPECT_TRUE(fs::exists(UserFolder() / "First.lmx"));
    EXPECT_FALSE(fs::exists(UserFolder() / "Second.lmx"));
    EXPECT_EQ(Listed(), (QStringList{"Both", "First"}));
    EXPECT_EQ(dialog.settings.WaveList, (std::vector<std::string>{"Both", "First"}));

    // Removing the user's copy of a shipped preset brings the shipped one back.
    Select("Both");
    Click(page, "cmdWaveRemove");
    EXPECT_FALSE(fs::exists(UserFolder() / "Both.lmx"));
    EXPECT_TRUE(fs::exists(InstallFolder() / "Both.lmx"));
    EXPECT_EQ(Listed(), (QStringList{"Both", "First"}));
    Select("First");
    Select("Both");
    EXPECT_EQ(dialog.editedWave.ParticleCount, 40);

    // A shipped preset cannot be removed.
    Click(page, "cmdWaveRemove");
    EXPECT_TRUE(fs::exists(InstallFolder() / "Both.lmx"));
    EXPECT_EQ(prompts.messages, QStringList{"\"Both\" comes with Lumenfall and cannot be removed."});
    EXPECT_EQ(Listed(), (QStringList{"Both", "First"}));
}


// A turning ring of particles with the given red, which draws a picture.
void WriteRing(const fs::path& file, int32_t particles, float red)
{
    TWaveConfig wave;
    SetBuiltInWave(wave);
    wave.ParticleCount = particles;
    wave.BaseRed = red;
    wave.SaveToFile(file.string());
}

// What the entry shows.
QImage Shown(const QListWidgetItem& item) { return item.icon().pixmap(kThumbnailSize).toImage(); }

TEST_F(WavePageTest, ThumbnailsFillInWithoutMovingTheList)
{
    WriteRing(InstallFolder() / "Amber.lmx", 1500, 200);
    std::ofstream(InstallFolder() / "Broken.lmx", std::ios::binary) << "not a preset";
    WriteRing(InstallFolder() / "Cobalt.lmx", 1500, 0);
    WriteRing(InstallFolder() / "Jade.lmx", 1500, 60);
    Open();
    auto& list = Child<QListWidget>(page, "lstWaveSchemes");
    list.setCurrentRow(2);

    // Every entry has a placeholder before any picture can have come.
    const QImage placeholder = Shown(*list.item(0));
    for (int row = 0; row < list.count(); ++row)
        EXPECT_EQ(Shown(*list.item(row)), placeholder) << row;

    // Requests are served in list order: once the last entry has its picture, all have.
    ASSERT_TRUE(QTest::qWaitFor([&] { return Shown(*list.item(3)) != placeholder; }, 60000));
    EXPECT_EQ(Listed(), (QStringList{"Amber", "Broken", "Cobalt", "Jade"}));
    EXPECT_EQ(list.currentRow(), 2);
    EXPECT_EQ(list.selectedItems(), QList<QListWidgetItem*>{list.item(2)});
    EXPECT_EQ(Shown(*list.item(1)), placeholder) << "a preset that cannot be read keeps the placeholder";
    const TThumbnailCache cache(ThumbnailCacheDirectory());
    for (int row : {0, 2, 3}) {
        const fs::path file = InstallFolder() / (list.item(row)->text().toStdString() + ".lmx");
        const QImage kept = TThumbnailCache::Load(cache.Entry(file.string(), kThumbnailSize), kThumbnailSize);
        ASSERT_FALSE(kept.isNull()) << row;
        EXPECT_EQ(Shown(*list.item(row)), kept.convertToFormat(Shown(*list.item(row)).format())) << row;
    }

    // "Change" writes the user's copy, whose picture follows.
    const QImage before = Shown(*list.item(2));
    dialog.editedWave.BaseRed = 255;
    dialog.editedWave.BaseGreen = 255;
    Click(page, "cmdWaveChange");
    ASSERT_TRUE(fs::exists(UserFolder() / "Cobalt.lmx"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Shown(*list.item(2)) != before; }, 60000));
    EXPECT_EQ(list.currentRow(), 2);
    // Removing that copy shows the installation's picture again.
    Click(page, "cmdWaveRemove");
    ASSERT_FALSE(fs::exists(UserFolder() / "Cobalt.lmx"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return Shown(*list.item(2)) == before; }, 60000));
}

TEST_F(WavePageTest, ClosingWhileThumbnailsAreDrawnReturnsAtOnce)
{
    // Each of these takes more than a second to draw.
    for (const char* name : {"A", "B", "C", "D", "E"})
        WriteRing(InstallFolder() / (std::string(name) + ".lmx"), MaxWaveParticleCount, 100);
    dialog.settings.WaveList = ListWavePresets(dialog.settings.WavesDirectory, dialog.settings.UserWavesDirectory);
    auto busy = std::make_unique<TWavePage>(dialog);
    busy->LoadPage();
    QTest::qWait(100);
    QElapsedTimer timer;
    timer.start();
    busy.reset();
    EXPECT_LT(timer.elapsed(), 1000);
    // Whatever was on its way goes with the page.
    QTest::qWait(50);
}

} // namespace
