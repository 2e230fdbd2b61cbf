#include "config/WavePage.h"

#include "config/CfgPrompts.h"
#include "config/DecimalField.h"
#include "config/PageBinding.h"
#include "config/PresetGallery.h"
#include "config/TransformMatrix.h"
#include "config/WavePanel.h"
#include "ui_WavePage.h"

#include <QLabel>

#include <algorithm>

namespace {

constexpr int kPreviewWidth = 209;
constexpr int kPreviewHeight = 185;
constexpr const char* kAxisCaptions[] = {"X-Axis", "Y-Axis", "Z-Axis"};
// Matrix rows as shown, each with its name in the field names.
constexpr const char* kMatrixRowCaptions[] = {"X-Amplitudes", "X-Frequencies", "Y-Amplitudes", "Y-Frequencies"};
constexpr const char* kMatrixRowNames[] = {"AmpX", "FrqX", "AmpY", "FrqY"};

} // namespace

TWavePage::TWavePage(TCfgDialogContext& dialog, QWidget* parent)
    : TCfgPage(dialog, parent), ui_(std::make_unique<Ui::TWavePage>()), prompts_(&StandardPrompts())
{
    ui_->setupUi(this);
    // Typed sizes outside the range become its nearest end when the field is left.
    ui_->txtWidth->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    ui_->txtHeight->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    BuildPanels();
    BuildMatrixFields(0);
    BuildMatrixFields(1);
    BindSystemFields();
    BindTransformFields();
    BindGallery();
    connect(ui_->pgParticleCfg, &QTabWidget::currentChanged, this, [this](int index) { PlacePreview(index); });
}

TWavePage::~TWavePage()
{
    if (preview_ && isAncestorOf(preview_)) {
        preview_->hide();
        preview_->setParent(previewHome_);
    }
}

void TWavePage::BuildPanels()
{
    QWidget* pages[] = {ui_->tsWave1, ui_->tsWave2, ui_->tsWave3};
    const QPoint places[] = {{0, 0}, {kPreviewWidth, 0}, {0, kPreviewHeight}};
    for (size_t wave = 0; wave < WaveCount; ++wave)
        for (size_t axis = 0; axis < WaveAxisCount; ++axis) {
            auto* panel = new TWavePanel(kAxisCaptions[axis], pages[wave]);
            panel->setObjectName(QString("pnlWave%1%2").arg(wave + 1).arg(QChar('X' + int(axis))));
            panel->move(places[axis]);
            panels_[wave * WaveAxisCount + axis] = panel;
        }
}

void TWavePage::BuildMatrixFields(int matrix)
{
    QWidget* page = matrix == 0 ? ui_->tshMatrix1 : ui_->tshMatrix2;
    auto* grid = static_cast<QGridLayout*>(page->layout());
    const QString prefix = matrix == 0 ? "txtWaveTrans" : "txtWave2Trans";
    for (int row = 0; row < 4; ++row) {
        auto* caption = new QLabel(kMatrixRowCaptions[row], page);
        grid->addWidget(caption, row, 0);
        for (int column = 0; column < 4; ++column) {
            auto* field = new QLineEdit(page);
            field->setObjectName(prefix + kMatrixRowNames[row] + QString::number(column + 1));
            field->setAccessibleName(QString("%1 %2").arg(kMatrixRowCaptions[row]).arg(column + 1));
            grid->addWidget(field, row, column + 1);
            matrixFields_[size_t(matrix)][size_t(row * 4 + column)] = field;
        }
        // Leaving a field reads its row of four.
        for (int column = 0; column < 4; ++column)
            OnExit(*matrixFields_[size_t(matrix)][size_t(row * 4 + column)], UnlessLoading(dialog_, [this, matrix, row] {
                       TWaveConfig& wave = dialog_.EditedWave();
                       auto& values = matrix == 0 ? wave.SinMagicParams : wave.SinMagicParams2;
                       for (int column = 0; column < 4; ++column)
                           values[size_t(row)][size_t(column)] =
                               ReadDecimal(*matrixFields_[size_t(matrix)][size_t(row * 4 + column)]);
                   }));
    }
}

void TWavePage::BindSystemFields()
{
    Ui::TWavePage& f = *ui_;
    auto wave = [this]() -> TWaveConfig& { return dialog_.EditedWave(); };
    connect(f.txtSpeed, &QLineEdit::textChanged, this, UnlessLoading(dialog_, [this, wave](const QString& text) {
                if (const auto speed = ParseDecimal(text))
                    wave().Speed = *speed;
            }));
    connect(f.trkWaveMotionBlur, &QSlider::valueChanged, this,
            UnlessLoading(dialog_, [wave](int value) { wave().MotionBlur = value; }));
    connect(f.chkWaveSmooth, &QCheckBox::toggled, this, UnlessLoading(dialog_, [wave](bool on) { wave().SmoothFilter = on; }));
    connect(f.cboWaveRenderMode, &QComboBox::currentIndexChanged, this, UnlessLoading(dialog_, [wave](int index) {
                if (index >= 0)
                    wave().RenderMode = TRenderMode(index);
            }));
    connect(f.txtWaveParticles, &QSpinBox::valueChanged, this,
            UnlessLoading(dialog_, [wave](int value) { wave().ParticleCount = value; }));
    connect(f.txtWidth, &QSpinBox::editingFinished, this, UnlessLoading(dialog_, [this] { CommitDrawingArea(); }));
    connect(f.txtHeight, &QSpinBox::editingFinished, this, UnlessLoading(dialog_, [this] { CommitDrawingArea(); }));

    // Each colour quantity is one group of three channels.
    struct TColorColumn {
        QLineEdit *red, *green, *blue;
        float TWaveConfig::*r;
        float TWaveConfig::*g;
        float TWaveConfig::*b;
    };
    const TColorColumn columns[] = {
        {f.txtRedFrq, f.txtGreenFrq, f.txtBlueFrq, &TWaveConfig::FreqRed, &TWaveConfig::FreqGreen, &TWaveConfig::FreqBlue},
        {f.txtRedShift, f.txtGreenShift, f.txtBlueShift, &TWaveConfig::ShiftRed, &TWaveConfig::ShiftGreen,
         &TWaveConfig::ShiftBlue},
        {f.txtRedBase, f.txtGreenBase, f.txtBlueBase, &TWaveConfig::BaseRed, &TWaveConfig::BaseGreen, &TWaveConfig::BaseBlue},
        {f.txtRedAmp, f.txtGreenAmp, f.txtBlueAmp, &TWaveConfig::AmpRed, &TWaveConfig::AmpGreen, &TWaveConfig::AmpBlue},
    };
    for (const TColorColumn& c : columns)
        for (QLineEdit* field : {c.red, c.green, c.blue})
            OnExit(*field, UnlessLoading(dialog_, [wave, c] {
                       wave().*c.r = ReadDecimal(*c.red);
                       wave().*c.g = ReadDecimal(*c.green);
                       wave().*c.b = ReadDecimal(*c.blue);
                   }));

    struct TVectorFields {
        QLineEdit *x, *y, *z;
        TVector3d TWaveConfig::*vector;
    };
    const TVectorFields vectors[] = {{f.txtWaveAngleX, f.txtWaveAngleY, f.txtWaveAngleZ, &TWaveConfig::Angle},
                                     {f.txtWaveRotX, f.txtWaveRotY, f.txtWaveRotZ, &TWaveConfig::Rot}};
    for (const TVectorFields& v : vectors)
        OnVectorExit(*v.x, *v.y, *v.z, UnlessLoading(dialog_, [wave, v] { wave().*v.vector = ReadVector(*v.x, *v.y, *v.z); }));
}

void TWavePage::BindTransformFields()
{
    Ui::TWavePage& f = *ui_;
    auto wave = [this]() -> TWaveConfig& { return dialog_.EditedWave(); };
    connect(f.chkWaveUseTransMap, &QCheckBox::toggled, this, UnlessLoading(dialog_, [wave](bool on) { wave().TransMapFilter = on; }));
    connect(f.cboWaveTransMapMode, &QComboBox::currentIndexChanged, this, UnlessLoading(dialog_, [wave](int index) {
                if (index >= 0)
                    wave().TransMapMode = TTransMapMode(index);
            }));
    connect(f.cboWaveTransMapStyle, &QComboBox::currentIndexChanged, this, UnlessLoading(dialog_, [this, wave](int index) {
                if (index >= 0)
                    wave().TransMapStyle = TTransMapStyle(index);
                UpdateMatrixEnabling();
            }));
    auto commitCenter = UnlessLoading(dialog_, [this, wave] {
        wave().ZoomCenterX = ui_->txtWaveZoomCenterX->value();
        wave().ZoomCenterY = ui_->txtWaveZoomCenterY->value();
    });
    connect(f.txtWaveZoomCenterX, &QSpinBox::editingFinished, this, commitCenter);
    connect(f.txtWaveZoomCenterY, &QSpinBox::editingFinished, this, commitCenter);
    connect(f.cmdSwapMatrix, &QPushButton::clicked, this, [this] { SwapMatrices(); });
    connect(f.cmdWaveTransZero, &QPushButton::clicked, this, [this] { ZeroMatrix(); });
    connect(f.cmdRandom, &QPushButton::clicked, this, [this] { RandomMatrix(); });
}

void TWavePage::BindGallery()
{
    TPresetStore store;
    store.Load = [this](const std::string& name) {
        TWaveConfig& wave = dialog_.EditedWave();
        wave.LoadFromFile(WaveFileToOpen(dialog_.Settings(), name));
        ShowPreset(wave);
        dialog_.Apply();
    };
    store.Save = [this](const std::string& name) {
        TWaveConfig copy;
        copy.Assign(dialog_.EditedWave());
        copy.Name = name;
        copy.SaveToFile(UserWaveFileToWrite(dialog_.Settings(), name));
    };
    store.Remove = [this](const std::string& name) {
        const TBlankerSettings& settings = dialog_.Settings();
        switch (RemoveUserWave(settings, name)) {
        case TWaveRemoval::NotTheUsers:
            prompts_->Inform(window(), QString("\"%1\" comes with Lumenfall and cannot be removed.")
                                           .arg(QString::fromStdString(name)));
            return TPresetRemoval::Refused;
        case TWaveRemoval::InstalledRemains:
            return TPresetRemoval::StillListed;
        case TWaveRemoval::Removed:
            break;
        }
        return TPresetRemoval::Removed;
    };
    store.ThumbnailFile = [this](const std::string& name) { return WaveFileToOpen(dialog_.Settings(), name); };
    gallery_ = new TPresetGallery(*ui_->lstWaveSchemes, dialog_.Settings().WaveList,
                                  "Enter a name for the new wave setting", std::move(store), prompts_);
    connect(ui_->cmdWaveAdd, &QPushButton::clicked, gallery_, [this] { gallery_->Add(); });
    connect(ui_->cmdWaveChange, &QPushButton::clicked, gallery_, [this] { gallery_->Change(); });
    connect(ui_->cmdWaveRemove, &QPushButton::clicked, gallery_, [this] { gallery_->Remove(); });
}

void TWavePage::LoadPage()
{
    gallery_->Fill();
    ShowPreset(*dialog_.Settings().ActiveWave);
    PlacePreview(ui_->pgParticleCfg->currentIndex());
}

void TWavePage::ShowPreset(const TWaveConfig& preset)
{
    TWaveConfig& wave = dialog_.EditedWave();
    if (&preset != &wave)
        wave.Assign(preset);
    TLoadingScope loading(dialog_);
    for (size_t w = 0; w < WaveCount; ++w)
        for (size_t axis = 0; axis < WaveAxisCount; ++axis)
            panels_[w * WaveAxisCount + axis]->Show(wave.Waves[w][axis]);
    ShowFields(wave);
    UpdateMatrixEnabling();
}

void TWavePage::ShowFields(const TWaveConfig& wave)
{
    Ui::TWavePage& f = *ui_;
    ShowDecimal(*f.txtSpeed, wave.Speed);
    f.trkWaveMotionBlur->setValue(wave.MotionBlur);
    f.chkWaveSmooth->setChecked(wave.SmoothFilter);
    f.cboWaveRenderMode->setCurrentIndex(int(wave.RenderMode));
    f.txtWaveParticles->setValue(wave.ParticleCount);
    f.txtWidth->setValue(wave.Width);
    f.txtHeight->setValue(wave.Height);
    const std::pair<QLineEdit*, float> colors[] = {
        {f.txtRedFrq, wave.FreqRed},    {f.txtGreenFrq, wave.FreqGreen},     {f.txtBlueFrq, wave.FreqBlue},
        {f.txtRedShift, wave.ShiftRed}, {f.txtGreenShift, wave.ShiftGreen}, {f.txtBlueShift, wave.ShiftBlue},
        {f.txtRedBase, wave.BaseRed},   {f.txtGreenBase, wave.BaseGreen},   {f.txtBlueBase, wave.BaseBlue},
        {f.txtRedAmp, wave.AmpRed},     {f.txtGreenAmp, wave.AmpGreen},     {f.txtBlueAmp, wave.AmpBlue},
    };
    for (const auto& [field, value] : colors)
        ShowDecimal(*field, value);
    ShowVector(*f.txtWaveAngleX, *f.txtWaveAngleY, *f.txtWaveAngleZ, wave.Angle);
    ShowVector(*f.txtWaveRotX, *f.txtWaveRotY, *f.txtWaveRotZ, wave.Rot);
    f.chkWaveUseTransMap->setChecked(wave.TransMapFilter);
    f.cboWaveTransMapMode->setCurrentIndex(int(wave.TransMapMode));
    f.cboWaveTransMapStyle->setCurrentIndex(int(wave.TransMapStyle));
    f.txtWaveZoomCenterX->setValue(wave.ZoomCenterX);
    f.txtWaveZoomCenterY->setValue(wave.ZoomCenterY);
    const TSinMagicParams* matrices[] = {&wave.SinMagicParams, &wave.SinMagicParams2};
    for (size_t m = 0; m < 2; ++m)
        for (size_t i = 0; i < 16; ++i)
            ShowDecimal(*matrixFields_[m][i], (*matrices[m])[i / 4][i % 4]);
}

void TWavePage::UpdateMatrixEnabling()
{
    const bool combined = dialog_.EditedWave().TransMapStyle == TTransMapStyle::tmsWavedZoomCombined;
    ui_->pgMatrix->setTabEnabled(1, combined);
    ui_->cmdSwapMatrix->setEnabled(combined);
}

void TWavePage::CommitDrawingArea()
{
    TWaveConfig& wave = dialog_.EditedWave();
    const int32_t oldWidth = wave.Width, oldHeight = wave.Height;
    wave.Width = std::clamp(ui_->txtWidth->value(), 10, 100);
    wave.Height = std::clamp(ui_->txtHeight->value(), 10, 100);
    if (ui_->chkConstrainProp->isChecked()) {
        wave.Rescale(float(oldWidth), float(oldHeight));
        ShowPreset(wave);
    }
}

void TWavePage::ZeroMatrix()
{
    TWaveConfig& wave = dialog_.EditedWave();
    (ui_->pgMatrix->currentIndex() == 1 ? wave.SinMagicParams2 : wave.SinMagicParams) = {};
    ShowPreset(wave);
}

void TWavePage::RandomMatrix()
{
    TWaveConfig& wave = dialog_.EditedWave();
    const bool second = UsesSecondMatrix(wave.TransMapStyle, ui_->pgMatrix->currentIndex() == 1);
    RandomizeMatrix(second ? wave.SinMagicParams2 : wave.SinMagicParams, RandomBounds(wave.TransMapStyle, second),
                    [this] { return dialog_.Random(); });
    ShowPreset(wave);
}

void TWavePage::SwapMatrices()
{
    TWaveConfig& wave = dialog_.EditedWave();
    std::swap(wave.SinMagicParams, wave.SinMagicParams2);
    ShowPreset(wave);
}

void TWavePage::PlacePreview(int subPage)
{
    QWidget& preview = dialog_.SmallPreview();
    if (preview_ != &preview) {
        preview_ = &preview;
        previewHome_ = preview.parentWidget();
    }
    QWidget* page = ui_->pgParticleCfg->widget(subPage);
    QWidget* host = nullptr;
    QPoint at(0, 0);
    if (page == ui_->tsWaveGalery)
        host = ui_->galleryPreviewSlot;
    else if (page == ui_->tsTransform)
        host = ui_->transformPreviewSlot;
    else if (page == ui_->tsWave1 || page == ui_->tsWave2 || page == ui_->tsWave3) {
        host = page;
        at = QPoint(kPreviewWidth, kPreviewHeight);
    }
    if (!host) {
        preview.hide();
        return;
    }
    preview.setParent(host);
    preview.setGeometry(QRect(at, QSize(kPreviewWidth, kPreviewHeight)));
    preview.show();
}
