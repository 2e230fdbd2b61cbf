#include "config/TextPage.h"

#include "config/CfgPrompts.h"
#include "config/DecimalField.h"
#include "config/PageBinding.h"
#include "config/PresetGallery.h"
#include "graphics/GfxTool.h"
#include "ui_TextPage.h"

#include <cmath>
#include <cstdlib>

QString FontDescription(const std::string& name, int32_t size, uint8_t style)
{
    QString letters;
    if (style & fsBold)
        letters += 'B';
    if (style & fsItalic)
        letters += 'I';
    if (style & fsUnderline)
        letters += 'U';
    if (style & fsStrikeOut)
        letters += 'S';
    return QString("%1 %2 %3").arg(QString::fromStdString(name)).arg(size).arg(letters);
}

QFont FontOf(const TTextConfig& text)
{
    QFont font(QString::fromStdString(text.FontName));
    if (text.FontSize != 0)
        font.setPointSize(std::abs(text.FontSize));
    font.setBold(text.FontStyle & fsBold);
    font.setItalic(text.FontStyle & fsItalic);
    font.setUnderline(text.FontStyle & fsUnderline);
    font.setStrikeOut(text.FontStyle & fsStrikeOut);
    return font;
}

void StoreFont(const QFont& font, TTextConfig& text)
{
    text.FontName = font.family().toStdString();
    // A font given in pixels has no point size; its pixels become points at 96 per inch.
    const double points = font.pointSizeF() > 0 ? font.pointSizeF() : font.pixelSize() * 72.0 / 96.0;
    text.FontSize = std::abs(int32_t(std::lround(points)));
    text.FontStyle = uint8_t((font.bold() ? fsBold : 0) | (font.italic() ? fsItalic : 0) |
                             (font.underline() ? fsUnderline : 0) | (font.strikeOut() ? fsStrikeOut : 0));
}

QColor ColorOf(uint32_t stored) { return QColor(int(stored & 0xFF), int((stored >> 8) & 0xFF), int((stored >> 16) & 0xFF)); }

uint32_t StoredColor(const QColor& color)
{
    return uint32_t(color.red()) | uint32_t(color.green()) << 8 | uint32_t(color.blue()) << 16;
}

TTextPage::TTextPage(TCfgDialogContext& dialog, QWidget* parent)
    : TCfgPage(dialog, parent), ui_(std::make_unique<Ui::TTextPage>()), prompts_(&StandardPrompts())
{
    ui_->setupUi(this);
    BindFields();
    BindGallery();
}

TTextPage::~TTextPage() = default;

void TTextPage::BindFields()
{
    Ui::TTextPage& f = *ui_;
    auto text = [this]() -> TTextConfig& { return dialog_.EditedText(); };
    connect(f.cmdSelectFont, &QToolButton::clicked, this, [this] { ChooseFont(); });
    connect(f.pnlColor, &QPushButton::clicked, this, [this] { ChooseColor(); });
    connect(f.trkTextMotionBlur, &QSlider::valueChanged, this,
            UnlessLoading(dialog_, [text](int value) { text().MotionBlur = value; }));
    connect(f.chkTextSmooth, &QCheckBox::toggled, this, UnlessLoading(dialog_, [text](bool on) { text().SmoothFilter = on; }));
    connect(f.cboTextRenderMode, &QComboBox::currentIndexChanged, this, UnlessLoading(dialog_, [text](int index) {
                if (index >= 0)
                    text().RenderMode = TRenderMode(index);
            }));
    OnFocusOut(*f.txtText, UnlessLoading(dialog_, [this, text] { text().Text = ui_->txtText->toPlainText().toStdString(); }));
    OnVectorExit(*f.txtTextRotX, *f.txtTextRotY, *f.txtTextRotZ, UnlessLoading(dialog_, [this, text] {
                     text().Rot = ReadVector(*ui_->txtTextRotX, *ui_->txtTextRotY, *ui_->txtTextRotZ);
                 }));
    OnVectorExit(*f.txtTextAngleX, *f.txtTextAngleY, *f.txtTextAngleZ, UnlessLoading(dialog_, [this, text] {
                     text().Angle = ReadVector(*ui_->txtTextAngleX, *ui_->txtTextAngleY, *ui_->txtTextAngleZ);
                 }));
}

void TTextPage::BindGallery()
{
    TPresetStore store;
    store.Load = [this](const std::string& name) {
        TTextConfig& text = dialog_.EditedText();
        LoadTextConfig(HKEY_CURRENT_USER, text, kTextsKey, name);
        ShowText(text);
    };
    store.Save = [this](const std::string& name) {
        TTextConfig copy = dialog_.EditedText();
        copy.Name = name;
        SaveTextConfig(copy, kTextsKey);
    };
    store.Remove = [](const std::string& name) {
        TTextConfig named;
        named.Name = name;
        DeleteTextConfig(named, kTextsKey);
        return TPresetRemoval::Removed;
    };
    gallery_ = new TPresetGallery(*ui_->lstTextSchemes, dialog_.Settings().TextList,
                                  "Enter a name for the new text setting", std::move(store), prompts_);
    connect(ui_->cmdTextAdd, &QPushButton::clicked, gallery_, [this] { gallery_->Add(); });
    connect(ui_->cmdTextChange, &QPushButton::clicked, gallery_, [this] { gallery_->Change(); });
    connect(ui_->cmdTextRemove, &QPushButton::clicked, gallery_, [this] { gallery_->Remove(); });
}

void TTextPage::LoadPage()
{
    gallery_->Fill();
    ShowText(dialog_.Settings().ActiveText);
}

void TTextPage::ShowText(const TTextConfig& source)
{
    TTextConfig& text = dialog_.EditedText();
    if (&source != &text)
        text = source;
    TLoadingScope loading(dialog_);
    Ui::TTextPage& f = *ui_;
    f.trkTextMotionBlur->setValue(text.MotionBlur);
    f.chkTextSmooth->setChecked(text.SmoothFilter);
    f.cboTextRenderMode->setCurrentIndex(int(text.RenderMode));
    f.txtText->setPlainText(QString::fromStdString(text.Text));
    f.lblFont->setText(FontDescription(text.FontName, text.FontSize, text.FontStyle));
    dialogFont_ = FontOf(text);
    ShowVector(*f.txtTextAngleX, *f.txtTextAngleY, *f.txtTextAngleZ, text.Angle);
    ShowVector(*f.txtTextRotX, *f.txtTextRotY, *f.txtTextRotZ, text.Rot);
    ShowColor(text.Color);
}

void TTextPage::ChooseFont()
{
    const std::optional<QFont> font = prompts_->ChooseFont(window(), dialogFont_);
    if (!font)
        return;
    TTextConfig& text = dialog_.EditedText();
    StoreFont(*font, text);
    dialogFont_ = *font;
    ui_->lblFont->setText(FontDescription(text.FontName, text.FontSize, text.FontStyle));
}

void TTextPage::ChooseColor()
{
    TTextConfig& text = dialog_.EditedText();
    const std::optional<QColor> color = prompts_->ChooseColor(window(), ColorOf(text.Color));
    if (!color)
        return;
    text.Color = StoredColor(*color);
    ShowColor(text.Color);
}

void TTextPage::ShowColor(uint32_t stored)
{
    ui_->pnlColor->setStyleSheet(QString("background-color: %1;").arg(ColorOf(stored).name()));
}
