#include "config/WavePanel.h"

#include "config/CfgPage.h"
#include "config/DecimalField.h"
#include "ui_WavePanel.h"

TWavePanel::TWavePanel(const QString& caption, QWidget* parent)
    : QGroupBox(parent), ui_(std::make_unique<Ui::TWavePanel>())
{
    ui_->setupUi(this);
    setTitle(caption);
    setAccessibleName(caption);
    // F1 in any of its fields opens the panel's own topic.
    setProperty(kHelpContextProperty, int(hcWaveComponent));
    setFixedSize(kWavePanelWidth, kWavePanelHeight);
    // The places are fixed in pixels; a slightly smaller font keeps "Amplitude" and
    // "Frequency" within their 56 pixels.
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    ui_->pnlGrid->setFont(small);
    fields_ = {ui_->txtPhase,  ui_->txtAMBase,      ui_->txtAMAmplitude, ui_->txtAMFrequency,
               ui_->txtFMBase, ui_->txtFMAmplitude, ui_->txtFMFrequency};
    for (QLineEdit* field : fields_)
        OnExit(*field, [this] {
            if (!loading_)
                Read();
        });
    connect(ui_->cmdZero, &QPushButton::clicked, this, [this] { Zero(); });
}

TWavePanel::~TWavePanel() = default;

void TWavePanel::Show(TWaveComponent& component)
{
    component_ = &component;
    loading_ = true;
    const float values[] = {component.Phase,  component.AMBase,      component.AMAmplitude, component.AMFrequency,
                            component.FMBase, component.FMAmplitude, component.FMFrequency};
    for (size_t i = 0; i < fields_.size(); ++i)
        ShowDecimal(*fields_[i], values[i]);
    loading_ = false;
}

void TWavePanel::Read()
{
    if (!component_)
        return;
    TWaveComponent& c = *component_;
    float* targets[] = {&c.Phase, &c.AMBase, &c.AMAmplitude, &c.AMFrequency, &c.FMBase, &c.FMAmplitude, &c.FMFrequency};
    for (size_t i = 0; i < fields_.size(); ++i)
        *targets[i] = ReadDecimal(*fields_[i]);
}

void TWavePanel::Zero()
{
    if (!component_)
        return;
    *component_ = TWaveComponent{};
    Show(*component_);
}
