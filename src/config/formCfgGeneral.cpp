#include "config/formCfgGeneral.h"

#include "graphics/GfxTool.h"
#include "host/MultimediaTools.h"
#include "ui_formCfgGeneral.h"

#include <QGuiApplication>
#include <QScreen>

namespace {

constexpr int kMinDuration = 1;
constexpr int kMaxDuration = 86400;

} // namespace

TCfgEnvironment TCfgEnvironment::Current()
{
    TCfgEnvironment environment;
    environment.ScreenModes = GetScreenModes();
    environment.MonitorCount = [] { return int(QGuiApplication::screens().size()); };
    return environment;
}

QString CPUAccelerationText()
{
    QStringList names;
#if defined(__SSE2__)
    // The packed paths are SSE2 code, widened to AVX2 where the processor has it.
    if (HasMMX || Has3DNow) {
        names << "SSE2";
        if (HasAVX2)
            names << "AVX2";
    }
#endif
    return names.isEmpty() ? QString("no CPU acceleration found") : names.join(", ");
}

TfrmCfgGeneral::TfrmCfgGeneral(TCfgDialogContext& dialog, const TCfgEnvironment& environment)
    : TCfgPage(dialog), ui_(std::make_unique<Ui::TfrmCfgGeneral>()), monitorCount_(environment.MonitorCount)
{
    ui_->setupUi(this);
    ui_->cboScreenModes->addItem("< Current Mode >");
    for (const std::string& name : environment.ScreenModes)
        ui_->cboScreenModes->addItem(QString::fromStdString(name));

    BindDuration(ui_->txtWaveDuration, &TBlankerSettings::WaveDuration);
    BindDuration(ui_->txtLogoDuration, &TBlankerSettings::LogoDuration);
    BindDuration(ui_->txtTextDuration, &TBlankerSettings::TextDuration);
    BindDuration(ui_->txtMorphDuration, &TBlankerSettings::MorphDuration);
    connect(ui_->chkLogoEnabled, &QCheckBox::clicked, this, [this] { RunEnabledRule(); });
    connect(ui_->chkTextEnabled, &QCheckBox::clicked, this, [this] { RunEnabledRule(); });
    connect(ui_->cboScreenModes, &QComboBox::activated, this, [this](int index) { ScreenModeChosen(index); });
    for (QRadioButton* option : {ui_->optAnimatePrimary, ui_->optAnimateEach, ui_->optAnimateStrechOverAll})
        connect(option, &QRadioButton::clicked, this, [this] { MultiMonitorClicked(); });
    connect(ui_->chkOverridePresets, &QCheckBox::clicked, this, [this] { RunEnableRules(); });
    // Monitors come and go while the dialog is open.
    connect(qApp, &QGuiApplication::screenAdded, this, [this] { RunEnableRules(); });
    connect(qApp, &QGuiApplication::screenRemoved, this, [this] { RunEnableRules(); });
    ui_->lblMMX->setText(CPUAccelerationText());
}

TfrmCfgGeneral::~TfrmCfgGeneral() = default;

// Only values inside the field's range reach the settings; text that is no such number
// leaves the setting as it is.
void TfrmCfgGeneral::BindDuration(QSpinBox* field, int32_t TBlankerSettings::*setting)
{
    connect(field, &QSpinBox::valueChanged, this, [this, setting](int value) {
        if (!dialog_.Loading() && value >= kMinDuration && value <= kMaxDuration)
            dialog_.Settings().*setting = value;
    });
}

void TfrmCfgGeneral::LoadPage()
{
    TLoadingScope loading(dialog_);
    const TBlankerSettings& s = dialog_.Settings();
    ui_->txtWaveDuration->setValue(s.WaveDuration);
    ui_->chkSelectWaveRnd->setChecked(s.WaveRandomSelection);
    ui_->chkWaveEnabled->setChecked(s.WaveEnabled);
    (s.WaveStartMode == TWaveStartMode::wsAlwaysRestart ? ui_->rbWaveRestart : ui_->rbWaveRemeber)->setChecked(true);
    ui_->txtLogoDuration->setValue(s.LogoDuration);
    ui_->chkSelectLogoRnd->setChecked(s.LogoRandomSelection);
    ui_->chkLogoEnabled->setChecked(s.LogoEnabled);
    ui_->txtTextDuration->setValue(s.TextDuration);
    ui_->chkSelectTextRnd->setChecked(s.TextRandomSelection);
    ui_->chkTextEnabled->setChecked(s.TextEnabled);
    ui_->txtMorphDuration->setValue(s.MorphDuration);
    ui_->cboPriority->setCurrentIndex(int(s.ProcessPriority));
    ui_->hkSaverFeatures->SetHotkey(s.FeaturesHotkey);
    // An index beyond the list (a mode of another monitor) selects nothing.
    ui_->cboScreenModes->setCurrentIndex(s.ScreenMode >= -1 && s.ScreenMode < ui_->cboScreenModes->count() - 1
                                             ? s.ScreenMode + 1
                                             : -1);
    switch (s.MultiMonitorMode) {
    case TMultiMonitorMode::mmAnimatePrimary: ui_->optAnimatePrimary->setChecked(true); break;
    case TMultiMonitorMode::mmAnimateEach: ui_->optAnimateEach->setChecked(true); break;
    case TMultiMonitorMode::mmStretchOverAll: ui_->optAnimateStrechOverAll->setChecked(true); break;
    default: break;
    }
    ui_->chkOverridePresets->setChecked(s.OverrideDrawArea);
    ui_->txtOverallWidth->setValue(s.OverallWidth);
    ui_->txtOverallHeight->setValue(s.OverallHeight);
    ui_->chkFullscreen->setChecked(s.StretchFullScr);
    RunEnableRules();
    RunEnabledRule();
}

void TfrmCfgGeneral::SavePage()
{
    TBlankerSettings& s = dialog_.Settings();
    // Without a selection (a stored value the lists do not hold) the setting stays.
    if (ui_->cboScreenModes->currentIndex() >= 0)
        s.ScreenMode = ui_->cboScreenModes->currentIndex() - 1;
    s.StretchFullScr = ui_->chkFullscreen->isChecked();
    s.OverrideDrawArea = ui_->chkOverridePresets->isChecked();
    s.OverallWidth = ui_->txtOverallWidth->value();
    s.OverallHeight = ui_->txtOverallHeight->value();
    s.WaveStartMode = ui_->rbWaveRestart->isChecked() ? TWaveStartMode::wsAlwaysRestart
                                                      : TWaveStartMode::wsRememberPosition;
    if (ui_->cboPriority->currentIndex() >= 0)
        s.ProcessPriority = TProcessPriority(ui_->cboPriority->currentIndex());
    s.FeaturesHotkey = ui_->hkSaverFeatures->Hotkey();
    s.WaveRandomSelection = ui_->chkSelectWaveRnd->isChecked();
    s.WaveEnabled = ui_->chkWaveEnabled->isChecked();
    s.LogoRandomSelection = ui_->chkSelectLogoRnd->isChecked();
    s.LogoEnabled = ui_->chkLogoEnabled->isChecked();
    s.TextRandomSelection = ui_->chkSelectTextRnd->isChecked();
    s.TextEnabled = ui_->chkTextEnabled->isChecked();
    if (ui_->optAnimatePrimary->isChecked())
        s.MultiMonitorMode = TMultiMonitorMode::mmAnimatePrimary;
    else if (ui_->optAnimateEach->isChecked())
        s.MultiMonitorMode = TMultiMonitorMode::mmAnimateEach;
    else if (ui_->optAnimateStrechOverAll->isChecked())
        s.MultiMonitorMode = TMultiMonitorMode::mmStretchOverAll;
}

void TfrmCfgGeneral::ScreenModeChosen(int index)
{
    if (index > 0)
        ui_->optAnimatePrimary->setChecked(true);
    RunEnableRules();
}

void TfrmCfgGeneral::MultiMonitorClicked()
{
    if (!ui_->optAnimatePrimary->isChecked())
        ui_->cboScreenModes->setCurrentIndex(0);
    if (ui_->optAnimateStrechOverAll->isChecked()) {
        ui_->chkOverridePresets->setChecked(true);
        ui_->chkFullscreen->setChecked(true);
    }
    RunEnableRules();
}

void TfrmCfgGeneral::RunEnableRules()
{
    const bool severalMonitors = monitorCount_ && monitorCount_() > 1;
    for (QRadioButton* option : {ui_->optAnimatePrimary, ui_->optAnimateEach, ui_->optAnimateStrechOverAll})
        option->setEnabled(severalMonitors);
    const bool override = ui_->chkOverridePresets->isChecked();
    const bool stretchOverAll = ui_->optAnimateStrechOverAll->isChecked();
    ui_->txtOverallWidth->setEnabled(override);
    ui_->txtOverallHeight->setEnabled(override);
    ui_->chkOverridePresets->setEnabled(!stretchOverAll);
    ui_->chkFullscreen->setEnabled(override && !stretchOverAll);
}

void TfrmCfgGeneral::RunEnabledRule()
{
    ui_->txtWaveDuration->setEnabled(ui_->chkLogoEnabled->isChecked() || ui_->chkTextEnabled->isChecked());
}
