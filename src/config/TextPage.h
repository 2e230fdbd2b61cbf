#pragma once
// The "Texts" page: the gallery of the user's text presets and the text system's settings:
// the text, its font and colour, motion blur, smoothing, render mode, rotation and angle.

#include "config/CfgPage.h"

#include <QColor>
#include <QFont>

#include <memory>

class TCfgPrompts;
class TPresetGallery;
namespace Ui {
class TTextPage;
}

// Name, size and the style letters B, I, U, S: "Arial 12 BI"; without a style it ends in a blank.
QString FontDescription(const std::string& name, int32_t size, uint8_t style);
// The stored font as a font of the platform; a negative size is a size all the same.
QFont FontOf(const TTextConfig& text);
// Name, positive size in points and style of a chosen font.
void StoreFont(const QFont& font, TTextConfig& text);
// Stored colours are 0x00BBGGRR.
QColor ColorOf(uint32_t stored);
uint32_t StoredColor(const QColor& color);

class TTextPage : public TCfgPage {
    Q_OBJECT
public:
    explicit TTextPage(TCfgDialogContext& dialog, QWidget* parent = nullptr);
    ~TTextPage() override;

    void LoadPage() override;
    int HelpContext() const override { return hcTexts; }

    void ShowText(const TTextConfig& text);
    void SetPrompts(TCfgPrompts& prompts) { prompts_ = &prompts; }

private:
    void BindFields();
    void BindGallery();
    void ChooseFont();
    void ChooseColor();
    void ShowColor(uint32_t stored);

    std::unique_ptr<Ui::TTextPage> ui_;
    TCfgPrompts* prompts_;
    TPresetGallery* gallery_ = nullptr;
    QFont dialogFont_;
};
