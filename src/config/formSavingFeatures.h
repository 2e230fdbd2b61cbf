#pragma once
// The small always-on-top window that the features hot key calls up over the running saver.
// It has no behaviour of its own: its controls trigger the saver window's four actions, and
// the check boxes follow the two checkable ones.

#include <QDialog>

class QAction;
class QCheckBox;
class QPushButton;

struct TSavingFeaturesActions {
    QAction* ShowFPS = nullptr;                // checkable
    QAction* ShowParticleSystemName = nullptr; // checkable
    QAction* SaveScreenshot = nullptr;
    QAction* ContinueSaving = nullptr;
};

class TfrmSavingFeatures : public QDialog {
public:
    explicit TfrmSavingFeatures(const TSavingFeaturesActions& actions);

    QCheckBox* cbShowFPS() const { return cbShowFPS_; }
    QCheckBox* cbShowParticleSystemName() const { return cbShowName_; }
    QPushButton* btnSaveScreenshot() const { return btnSaveScreenshot_; }
    QPushButton* btnContinue() const { return btnContinue_; }

    // Escape is the cancel button: it continues the show.
    void reject() override;

private:
    QCheckBox* BoundCheckBox(QAction* action, int x, int y, int width);
    QPushButton* BoundButton(QAction* action, int x, int y, int width);

    TSavingFeaturesActions actions_;
    QCheckBox* cbShowFPS_;
    QCheckBox* cbShowName_;
    QPushButton* btnSaveScreenshot_;
    QPushButton* btnContinue_;
};
