#pragma once
// The "Logos" page: the gallery of the user's logo presets, the logo system's settings and
// the picture with its style, mask colour and tolerance.

#include "config/CfgPage.h"

#include <QImage>

#include <memory>
#include <optional>

class TCfgPrompts;
class TPresetGallery;
namespace Ui {
class TLogoPage;
}

// "$" and eight hexadecimal digits.
QString FormatColorMask(uint32_t mask);
// A decimal number, or hexadecimal after a leading "$"; nothing when the text does not convert.
std::optional<uint32_t> ParseColorMask(const QString& text);
// The image's size at a zoom step: 25 %, 50 %, 100 %, 200 % or 400 % (steps 0 to 4).
QSize ZoomedSize(QSize picture, int zoomStep);

class TLogoPage : public TCfgPage {
    Q_OBJECT
public:
    explicit TLogoPage(TCfgDialogContext& dialog, QWidget* parent = nullptr);
    ~TLogoPage() override;

    void LoadPage() override;
    int HelpContext() const override { return hcLogos; }

    // Copies the preset into the edited logo and shows it, its picture included.
    void ShowLogo(const TLogoConfig& logo);
    void SetPrompts(TCfgPrompts& prompts) { prompts_ = &prompts; }

private:
    void BindFields();
    void BindImage();
    void BindGallery();
    void LoadPicture();
    void ApplyZoom();
    void ChooseFile();
    void UpdateMaskEnabling();

    std::unique_ptr<Ui::TLogoPage> ui_;
    TCfgPrompts* prompts_;
    TPresetGallery* gallery_ = nullptr;
    QImage picture_;
    QString initialFile_;
};
