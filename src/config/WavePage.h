#pragma once
// The "Waves" page: the gallery of wave preset files, the wave system's settings, the nine
// wave panels and the translation map's matrices, all editing the dialog's edited wave.

#include "config/CfgPage.h"

#include <QPointer>

#include <array>
#include <memory>

class QLineEdit;
class TCfgPrompts;
class TPresetGallery;
class TWavePanel;
namespace Ui {
class TWavePage;
}

class TWavePage : public TCfgPage {
    Q_OBJECT
public:
    explicit TWavePage(TCfgDialogContext& dialog, QWidget* parent = nullptr);
    ~TWavePage() override;

    void LoadPage() override;
    int HelpContext() const override { return hcWaves; }

    // Copies the preset into the edited wave and shows every field of it.
    void ShowPreset(const TWaveConfig& preset);
    void SetPrompts(TCfgPrompts& prompts) { prompts_ = &prompts; }

private:
    void BuildPanels();
    void BuildMatrixFields(int matrix);
    void BindSystemFields();
    void BindTransformFields();
    void BindGallery();
    void ShowFields(const TWaveConfig& wave);
    void UpdateMatrixEnabling();
    void CommitDrawingArea();
    void ZeroMatrix();
    void RandomMatrix();
    void SwapMatrices();
    void PlacePreview(int subPage);

    std::unique_ptr<Ui::TWavePage> ui_;
    std::array<TWavePanel*, 9> panels_{};
    std::array<std::array<QLineEdit*, 16>, 2> matrixFields_{};
    TCfgPrompts* prompts_;
    TPresetGallery* gallery_ = nullptr;
    // The small preview while the page holds it, and where it came from: it goes back there
    // when the page goes, so that the page never deletes what the dialog owns.
    QPointer<QWidget> preview_;
    QPointer<QWidget> previewHome_;
};
