#include "config/LogoPage.h"

#include "config/CfgPrompts.h"
#include "config/DecimalField.h"
#include "config/PageBinding.h"
#include "config/PresetGallery.h"
#include "graphics/PictureLoader.h"
#include "host/SaverShow.h"
#include "ui_LogoPage.h"

#include <QKeyEvent>
#include <QPixmap>

#include <exception>

namespace {

constexpr int kZoom100 = 2;

// Lets through control keys and the characters of a mask; anything else is swallowed with
// a beep.
class TMaskKeyFilter : public QObject {
public:
    TMaskKeyFilter(QWidget& field, TCfgPrompts*& prompts) : QObject(&field), prompts_(prompts)
    {
        field.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress && !Allowed(*static_cast<QKeyEvent*>(event))) {
            prompts_->Beep();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    static bool Allowed(const QKeyEvent& key)
    {
        const QString text = key.text();
        if (text.isEmpty() || text.at(0) < QChar(' ') || text.at(0) == QChar(0x7F) ||
            (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
            return true;
        for (const QChar c : text)
            if (!(c == '$' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f')))
                return false;
        return true;
    }

    TCfgPrompts*& prompts_;
};

// A click on the picture's path opens the guide's topic on logo pictures.
class TPathHelp : public QObject {
public:
    TPathHelp(QWidget& field, TCfgDialogContext& dialog) : QObject(&field), dialog_(dialog)
    {
        field.setProperty(kHelpContextProperty, int(hcLogoPicture));
        field.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::MouseButtonRelease)
            dialog_.ShowHelp(hcLogoPicture);
        return QObject::eventFilter(watched, event);
    }

private:
    TCfgDialogContext& dialog_;
};

} // namespace

QString FormatColorMask(uint32_t mask) { return "$" + QString::number(mask, 16).toUpper().rightJustified(8, '0'); }

std::optional<uint32_t> ParseColorMask(const QString& text)
{
    const QString t = text.trimmed();
    bool ok = false;
    uint32_t value = 0;
    if (t.startsWith('$'))
        value = t.mid(1).toUInt(&ok, 16);
    else
        value = t.toUInt(&ok, 10);
    return ok ? std::optional<uint32_t>(value) : std::nullopt;
}

QSize ZoomedSize(QSize picture, int zoomStep)
{
    switch (zoomStep) {
    // Integer division: QSize's own operator rounds.
    case 0:
        return {picture.width() / 4, picture.height() / 4};
    case 1:
        return {picture.width() / 2, picture.height() / 2};
    case 3:
        return picture * 2;
    case 4:
        return picture * 4;
    default:
        return picture;
    }
}

TLogoPage::TLogoPage(TCfgDialogContext& dialog, QWidget* parent)
    : TCfgPage(dialog, parent), ui_(std::make_unique<Ui::TLogoPage>()), prompts_(&StandardPrompts())
{
    ui_->setupUi(this);
    BindFields();
    BindImage();
    BindGallery();
}

TLogoPage::~TLogoPage() = default;

void TLogoPage::BindFields()
{
    Ui::TLogoPage& f = *ui_;
    auto logo = [this]() -> TLogoConfig& { return dialog_.EditedLogo(); };
    connect(f.txtLogoParticles, &QSpinBox::valueChanged, this,
            UnlessLoading(dialog_, [logo](int value) { logo().ParticleCount = value; }));
    connect(f.trkLogoMotionBlur, &QSlider::valueChanged, this,
            UnlessLoading(dialog_, [logo](int value) { logo().MotionBlur = value; }));
    connect(f.chkLogoSmooth, &QCheckBox::toggled, this, UnlessLoading(dialog_, [logo](bool on) { logo().SmoothFilter = on; }));
    connect(f.cboLogoRenderMode, &QComboBox::currentIndexChanged, this, UnlessLoading(dialog_, [logo](int index) {
                if (index >= 0)
                    logo().RenderMode = TRenderMode(index);
            }));
    OnVectorExit(*f.txtLogoRotX, *f.txtLogoRotY, *f.txtLogoRotZ, UnlessLoading(dialog_, [this, logo] {
                     logo().Rot = ReadVector(*ui_->txtLogoRotX, *ui_->txtLogoRotY, *ui_->txtLogoRotZ);
                 }));
    OnVectorExit(*f.txtLogoAngleX, *f.txtLogoAngleY, *f.txtLogoAngleZ, UnlessLoading(dialog_, [this, logo] {
                     logo().Angle = ReadVector(*ui_->txtLogoAngleX, *ui_->txtLogoAngleY, *ui_->txtLogoAngleZ);
                 }));
}

void TLogoPage::BindImage()
{
    Ui::TLogoPage& f = *ui_;
    auto logo = [this]() -> TLogoConfig& { return dialog_.EditedLogo(); };
    connect(f.cboLogoStyle, &QComboBox::currentIndexChanged, this, UnlessLoading(dialog_, [this, logo](int index) {
                if (index >= 0)
                    logo().Style = TLogoStyle(index);
                UpdateMaskEnabling();
            }));
    connect(f.cmdLogoPath, &QToolButton::clicked, this, [this] { ChooseFile(); });
    new TPathHelp(*f.txtLogoPath, dialog_);
    connect(f.cboLogoZoom, &QComboBox::currentIndexChanged, this, UnlessLoading(dialog_, [this](int) { ApplyZoom(); }));
    new TMaskKeyFilter(*f.txtColorMask, prompts_);
    OnExit(*f.txtColorMask, UnlessLoading(dialog_, [this, logo] {
               logo().ColorMask = ParseColorMask(ui_->txtColorMask->text()).value_or(0);
           }));
    connect(f.txtTolerance, &QSpinBox::valueChanged, this,
            UnlessLoading(dialog_, [logo](int value) { logo().Tolerance = value; }));
}

void TLogoPage::BindGallery()
{
    TPresetStore store;
    store.Load = [this](const std::string& name) {
        TLogoConfig& logo = dialog_.EditedLogo();
        LoadLogoConfig(HKEY_CURRENT_USER, logo, kLogosKey, name);
        ShowLogo(logo);
    };
    store.Save = [this](const std::string& name) {
        TLogoConfig copy = dialog_.EditedLogo();
        copy.Name = name;
        SaveLogoConfig(copy, kLogosKey);
    };
    store.Remove = [](const std::string& name) {
        TLogoConfig named;
        named.Name = name;
        DeleteLogoConfig(named, kLogosKey);
        return TPresetRemoval::Removed;
    };
    gallery_ = new TPresetGallery(*ui_->lstLogoSchemes, dialog_.Settings().LogoList,
                                  "Enter a name for the new logo setting", std::move(store), prompts_);
    connect(ui_->cmdLogoAdd, &QPushButton::clicked, gallery_, [this] { gallery_->Add(); });
    connect(ui_->cmdLogoChange, &QPushButton::clicked, gallery_, [this] { gallery_->Change(); });
    connect(ui_->cmdLogoRemove, &QPushButton::clicked, gallery_, [this] { gallery_->Remove(); });
}

void TLogoPage::LoadPage()
{
    gallery_->Fill();
    ShowLogo(dialog_.Settings().ActiveLogo);
}

void TLogoPage::ShowLogo(const TLogoConfig& source)
{
    TLogoConfig& logo = dialog_.EditedLogo();
    if (&source != &logo)
        logo = source;
    TLoadingScope loading(dialog_);
    Ui::TLogoPage& f = *ui_;
    f.txtLogoParticles->setValue(logo.ParticleCount);
    f.trkLogoMotionBlur->setValue(logo.MotionBlur);
    f.chkLogoSmooth->setChecked(logo.SmoothFilter);
    f.cboLogoRenderMode->setCurrentIndex(int(logo.RenderMode));
    f.txtLogoPath->setText(QString::fromStdString(logo.Path));
    initialFile_ = QString::fromStdString(ResolveDataPath(logo.Path));
    LoadPicture();
    f.cboLogoStyle->setCurrentIndex(int(logo.Style));
    UpdateMaskEnabling();
    f.txtColorMask->setText(FormatColorMask(logo.ColorMask));
    f.txtTolerance->setValue(logo.Tolerance);
    f.cboLogoZoom->setCurrentIndex(kZoom100);
    ApplyZoom();
    ShowVector(*f.txtLogoAngleX, *f.txtLogoAngleY, *f.txtLogoAngleZ, logo.Angle);
    ShowVector(*f.txtLogoRotX, *f.txtLogoRotY, *f.txtLogoRotZ, logo.Rot);
}

void TLogoPage::LoadPicture()
{
    const std::string& path = dialog_.EditedLogo().Path;
    picture_ = QImage();
    try {
        // A preset without a picture is no error; shipped presets name theirs relative to
        // the installation.
        if (!path.empty())
            picture_ = ::LoadPicture(ResolveDataPath(path));
    } catch (const std::exception&) {
        prompts_->Beep();
        prompts_->Inform(window(), QString::fromStdString(kLogoFileErrorMessage + path));
    }
    ui_->imgLogo->setPixmap(QPixmap::fromImage(picture_));
}

void TLogoPage::ApplyZoom()
{
    const QSize size = picture_.isNull() ? QSize(0, 0) : ZoomedSize(picture_.size(), ui_->cboLogoZoom->currentIndex());
    ui_->imgLogo->resize(size);
    ui_->scrLogoContents->resize(size);
}

void TLogoPage::ChooseFile()
{
    const std::optional<QString> file = prompts_->ChooseLogoFile(window(), initialFile_);
    if (!file)
        return;
    TLogoConfig& logo = dialog_.EditedLogo();
    logo.Path = file->toStdString();
    initialFile_ = *file;
    ui_->txtLogoPath->setText(*file);
    LoadPicture();
    {
        TLoadingScope loading(dialog_);
        ui_->cboLogoZoom->setCurrentIndex(kZoom100);
    }
    ApplyZoom();
}

void TLogoPage::UpdateMaskEnabling()
{
    ui_->txtColorMask->setEnabled(dialog_.EditedLogo().Style == TLogoStyle::lsMask);
}
