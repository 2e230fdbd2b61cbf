#pragma once
// The configuration dialog: the pages over the settings record and the edited presets, the
// two live previews of the edited wave, and "Ok", "Apply", "Cancel", "Help" and "About".
// "Ok" stores the global settings and the active presets; "Cancel" stores nothing.

#include "config/CfgPage.h"
#include "config/formCfgGeneral.h"

#include <QDialog>
#include <QTimer>

#include <memory>
#include <random>
#include <string>
#include <vector>

namespace Ui {
class TfrmCfgLumenfall;
}

class TWavePreview;
class TfrmCfgBigPreview;

class TfrmCfgLumenfall : public QDialog, public TCfgDialogContext {
public:
    explicit TfrmCfgLumenfall(const TCfgEnvironment& environment = TCfgEnvironment::Current());
    ~TfrmCfgLumenfall() override;

    // False when the settings could not be loaded because the product is not installed;
    // such a dialog must not be shown.
    bool Installed() const { return installed_; }

    TBlankerSettings& Settings() override { return settings_; }
    TWaveConfig& EditedWave() override { return editedWave_; }
    TLogoConfig& EditedLogo() override { return editedLogo_; }
    TTextConfig& EditedText() override { return editedText_; }
    bool Loading() const override { return loading_; }
    void SetLoading(bool loading) override { loading_ = loading; }
    void Apply() override;
    QWidget& SmallPreview() override;
    float Random() override;
    void ShowHelp(int context) override;

    Ui::TfrmCfgLumenfall& Controls() { return *ui_; }
    TfrmCfgGeneral& GeneralPage() { return *general_; }
    TfrmCfgBigPreview& BigPreviewPage() { return *bigPreviewPage_; }
    TWavePreview& SmallPreviewBox() { return *smallPreview_; }
    TWavePreview& BigPreview() { return *bigPreview_; }
    const TWaveConfig& AppliedWave() const { return appliedWave_; }
    QTimer& PreviewTimer() { return tmrPreview_; }
    const std::string& HelpFile() const { return helpFile_; }

    // One tick of the preview timer: a frame of the preview on the current page, if any.
    void PreviewTick();
    // The help context of the focused control (the nearest one that names one in the
    // kHelpContextProperty property), else that of the current page.
    int CurrentHelpContext() const;

    void accept() override;
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void CreatePages(const TCfgEnvironment& environment);
    void AddPage(QWidget& tab, TCfgPage* page);
    void LoadPages();
    void CommitFocusedField();
    void ShowAbout();
    void ShowError(const QString& text);
    template <typename Action>
    void Guarded(Action action);

    std::unique_ptr<Ui::TfrmCfgLumenfall> ui_;
    std::mt19937 random_;
    std::string helpFile_;
    TBlankerSettings settings_;
    TWaveConfig editedWave_;
    TLogoConfig editedLogo_;
    TTextConfig editedText_;
    TWaveConfig appliedWave_;
    bool loading_ = false;
    bool installed_ = false;
    QTimer tmrPreview_;
    std::unique_ptr<TWavePreview> smallPreview_;
    std::unique_ptr<TWavePreview> bigPreview_;
    std::vector<TCfgPage*> pages_;
    TfrmCfgGeneral* general_ = nullptr;
    TfrmCfgBigPreview* bigPreviewPage_ = nullptr;
};

// Opens the dialog (a second one only brings the first forward) and returns the program's
// exit status: 0, 2 when the product is not installed (after saying so), 1 when the
// settings cannot be loaded.
int RunConfigurationDialog();
