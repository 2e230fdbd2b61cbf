#pragma once
// The "General" page: how long each kind of show item lasts and whether it is chosen at
// random or shown at all, the process priority, the features hot key, the screen mode,
// the multi-monitor mode and the drawing area.

#include "config/CfgPage.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Ui {
class TfrmCfgGeneral;
}

class QSpinBox;

// What the page shows of the machine.
struct TCfgEnvironment {
    // Names of the display modes, in the order their indices count.
    std::vector<std::string> ScreenModes;
    // Asked whenever the enable rules run.
    std::function<int()> MonitorCount;
    // The display-mode list and Qt's screens.
    static TCfgEnvironment Current();
};

// The names of the instruction sets the packed raster paths use on this processor, or
// "no CPU acceleration found".
QString CPUAccelerationText();

class TfrmCfgGeneral : public TCfgPage {
public:
    TfrmCfgGeneral(TCfgDialogContext& dialog, const TCfgEnvironment& environment);
    ~TfrmCfgGeneral() override;

    void LoadPage() override;
    void SavePage() override;
    int HelpContext() const override { return hcGeneral; }

    Ui::TfrmCfgGeneral& Controls() { return *ui_; }

private:
    void BindDuration(QSpinBox* field, int32_t TBlankerSettings::*setting);
    void ScreenModeChosen(int index);
    void MultiMonitorClicked();
    void RunEnableRules();
    void RunEnabledRule();

    std::unique_ptr<Ui::TfrmCfgGeneral> ui_;
    std::function<int()> monitorCount_;
};
