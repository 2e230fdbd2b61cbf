#include "config/formCfgLumenfall.h"

#include "config/CfgHelp.h"
#include "config/LogoPage.h"
#include "config/TextPage.h"
#include "config/WavePage.h"
#include "config/WavePreview.h"
#include "config/formCfgBigPreview.h"
#include "config/formSimpleAbout.h"
#include "host/SaverShow.h"
#include "host/SingleInstance.h"
#include "ui_formCfgLumenfall.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMessageBox>
#include <QScreen>

#include <chrono>
#include <exception>

namespace {

constexpr const char* kTitle = "Lumenfall";
constexpr QSize kClientSize(434, 482);
constexpr QSize kSmallPreviewSize(209, 185);
constexpr QSize kBigPreviewSize(409, 309);
constexpr int kPreviewInterval = 30;

} // namespace

TfrmCfgLumenfall::TfrmCfgLumenfall(const TCfgEnvironment& environment)
    : ui_(std::make_unique<Ui::TfrmCfgLumenfall>()),
      random_(uint32_t(std::chrono::steady_clock::now().time_since_epoch().count())),
      helpFile_(ReadHelpFile())
{
    ui_->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    tmrPreview_.setInterval(kPreviewInterval);
    connect(&tmrPreview_, &QTimer::timeout, this, [this] { PreviewTick(); });
    smallPreview_ = std::make_unique<TWavePreview>(kSmallPreviewSize);
    smallPreview_->SetDraggable(true);
    bigPreview_ = std::make_unique<TWavePreview>(kBigPreviewSize);
    CreatePages(environment);

    connect(ui_->cmdOk, &QPushButton::clicked, this, [this] { accept(); });
    connect(ui_->cmdApply, &QPushButton::clicked, this, [this] {
        CommitFocusedField();
        Apply();
    });
    connect(ui_->cmdCancel, &QPushButton::clicked, this, [this] { reject(); });
    connect(ui_->cmdHelp, &QPushButton::clicked, this, [this] { ShowHelp(0); });
    connect(ui_->cmdAbout, &QPushButton::clicked, this, [this] { Guarded([this] { ShowAbout(); }); });

    resize(kClientSize);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));

    settings_.ActiveWave = std::make_unique<TWaveConfig>();
    installed_ = LoadBlankerSettings(settings_);
    if (installed_)
        LoadPages();
}

TfrmCfgLumenfall::~TfrmCfgLumenfall() = default;

// Every page of the dialog is made here; a page is one AddPage call.
void TfrmCfgLumenfall::CreatePages(const TCfgEnvironment& environment)
{
    AddPage(*ui_->tshAbout, bigPreviewPage_ = new TfrmCfgBigPreview(*this, *bigPreview_));
    AddPage(*ui_->tshGeneral, general_ = new TfrmCfgGeneral(*this, environment));
    AddPage(*ui_->tshWaves, new TWavePage(*this));
    AddPage(*ui_->tshLogos, new TLogoPage(*this));
    AddPage(*ui_->tshTexts, new TTextPage(*this));
}

void TfrmCfgLumenfall::AddPage(QWidget& tab, TCfgPage* page)
{
    tab.layout()->addWidget(page);
    pages_.push_back(page);
}

void TfrmCfgLumenfall::LoadPages()
{
    editedWave_.Assign(*settings_.ActiveWave);
    editedLogo_ = settings_.ActiveLogo;
    editedText_ = settings_.ActiveText;
    for (TCfgPage* page : pages_)
        page->LoadPage();
    Apply();
}

QWidget& TfrmCfgLumenfall::SmallPreview() { return *smallPreview_; }

float TfrmCfgLumenfall::Random()
{
    // 24 random bits: every value is exact in a float and below 1.
    return float(random_() >> 8) * (1.0f / 16777216.0f);
}

template <typename Action>
void TfrmCfgLumenfall::Guarded(Action action)
{
    try {
        action();
    } catch (const std::exception& e) {
        ShowError(QString::fromStdString(e.what()));
    } catch (...) {
        ShowError("An unknown error occurred.");
    }
}

void TfrmCfgLumenfall::ShowError(const QString& text) { QMessageBox::critical(this, kTitle, text); }

void TfrmCfgLumenfall::Apply()
{
    Guarded([this] {
        smallPreview_->Apply(editedWave_, appliedWave_);
        bigPreview_->Apply(editedWave_, appliedWave_);
    });
}

void TfrmCfgLumenfall::PreviewTick()
{
    try {
        QWidget* page = ui_->pgMain->currentWidget();
        if (page == ui_->tshWaves)
            smallPreview_->Frame();
        else if (page == ui_->tshAbout)
            bigPreview_->Frame();
    } catch (const std::exception& e) {
        // One message, not one per tick.
        tmrPreview_.stop();
        ShowError(QString::fromStdString(e.what()));
    }
}

// A field that stores its text when it is left has not done so when Enter pressed the
// default button; leaving it and coming back makes it.
void TfrmCfgLumenfall::CommitFocusedField()
{
    QWidget* focused = QApplication::focusWidget();
    if (!focused || !isAncestorOf(focused))
        return;
    focused->clearFocus();
    focused->setFocus(Qt::OtherFocusReason);
}

void TfrmCfgLumenfall::accept()
{
    CommitFocusedField();
    tmrPreview_.stop();
    try {
        for (TCfgPage* page : pages_)
            page->SavePage();
        settings_.ActiveWave->Assign(editedWave_);
        settings_.ActiveLogo = editedLogo_;
        settings_.ActiveText = editedText_;
        SaveBlankerSettings(settings_);
    } catch (const std::exception& e) {
        // The dialog stays open, so that nothing the user set is lost.
        ShowError(QString::fromStdString(e.what()));
        tmrPreview_.start();
        return;
    }
    QDialog::accept();
}

void TfrmCfgLumenfall::reject()
{
    tmrPreview_.stop();
    QDialog::reject();
}

void TfrmCfgLumenfall::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    tmrPreview_.start();
}

void TfrmCfgLumenfall::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        ShowHelp(CurrentHelpContext());
        return;
    }
    QDialog::keyPressEvent(event);
}

int TfrmCfgLumenfall::CurrentHelpContext() const
{
    for (const QWidget* w = QApplication::focusWidget(); w && w != this; w = w->parentWidget())
        if (const QVariant context = w->property(kHelpContextProperty); context.isValid())
            return context.toInt();
    for (const TCfgPage* page : pages_)
        if (ui_->pgMain->currentWidget()->isAncestorOf(page))
            return page->HelpContext();
    return 0;
}

void TfrmCfgLumenfall::ShowHelp(int context)
{
    Guarded([&] {
        if (helpFile_.empty()) {
            ShowError("The user guide is not installed.");
            return;
        }
        const QUrl url = HelpTopicUrl(helpFile_, context);
        if (!QFileInfo::exists(QString::fromStdString(helpFile_)))
            ShowError(QString("The user guide \"%1\" cannot be found.").arg(QString::fromStdString(helpFile_)));
        else if (!QDesktopServices::openUrl(url))
            ShowError(QString("The user guide \"%1\" cannot be opened.").arg(url.toString()));
    });
}

void TfrmCfgLumenfall::ShowAbout()
{
    const bool running = tmrPreview_.isActive();
    tmrPreview_.stop();
    TfrmSimpleAbout about(this);
    about.OnOpenLink = [this] { ShowHelp(0); };
    about.exec();
    if (running)
        tmrPreview_.start();
}

int RunConfigurationDialog()
{
    TSingleInstanceGuard guard;
    if (!guard.Acquire())
        return 0;
    std::unique_ptr<TfrmCfgLumenfall> dialog;
    try {
        dialog = std::make_unique<TfrmCfgLumenfall>();
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, kTitle, QString::fromStdString(e.what()));
        return 1;
    }
    if (!dialog->Installed()) {
        QApplication::beep();
        QMessageBox::critical(nullptr, kTitle, kNotInstalledMessage);
        return 2;
    }
    guard.OnActivate = [&dialog] {
        dialog->raise();
        dialog->activateWindow();
    };
    dialog->exec();
    return 0;
}
