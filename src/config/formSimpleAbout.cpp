#include "config/formSimpleAbout.h"

#include "graphics/GfxFilters.h"
#include "graphics/GfxTool.h"
#include "util/WindowsTool.h"
#include "ui_formSimpleAbout.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

namespace {

constexpr QSize kClientSize(348, 213);
constexpr int kAnimationInterval = 30;
constexpr int16_t kStirHeight = 1600;
constexpr float kShakeAmplitude = 1200.0f;
constexpr float kShakeWaves = 2.0f;

} // namespace

TfrmSimpleAbout::TfrmSimpleAbout(QWidget* parent, const std::string& programFile)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      ui_(std::make_unique<Ui::TfrmSimpleAbout>())
{
    ui_->setupUi(this);
    setFixedSize(kClientSize);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    const QPixmap logo(":/dialog/maker.png");
    ui_->imgLogo->setPixmap(logo);
    ui_->imgLogo->resize(logo.size());
    ui_->pbLogo->installEventFilter(this);
    ui_->pbLogo->setAttribute(Qt::WA_OpaquePaintEvent);
    tmrAnim_.setInterval(kAnimationInterval);
    connect(&tmrAnim_, &QTimer::timeout, this, [this] { AnimationTick(); });
    connect(ui_->Button1, &QPushButton::clicked, this, &QDialog::close);
    connect(ui_->lblWebPage, &QLabel::linkActivated, this, [this] {
        if (OnOpenLink)
            OnOpenLink();
    });
    FillInformation(programFile.empty() ? QCoreApplication::applicationFilePath().toStdString() : programFile);
}

TfrmSimpleAbout::~TfrmSimpleAbout() = default;

void TfrmSimpleAbout::FillInformation(const std::string& programFile)
{
    // Values the version data lacks keep the labels' own texts.
    std::string product = ui_->lblName->text().toStdString();
    std::string version = ui_->lblVersion->text().toStdString();
    std::string copyright = ui_->lblCopyright->text().toStdString();
    std::string description = ui_->lblDescription->text().toStdString();
    std::string company, internal, original, productVersion;
    if (!ReadVersionInfo(programFile, company, description, version, internal, copyright, original, product,
                         productVersion)) {
        product = programFile;
        version = "No version info";
        copyright = kMakerNotice;
        description.clear();
    }
    ui_->lblName->setText(QString::fromStdString(product));
    ui_->lblVersion->setText(QString::fromStdString(version));
    ui_->lblCopyright->setText(QString::fromStdString(copyright));
    ui_->lblDescription->setText(QString::fromStdString(description));
}

void TfrmSimpleAbout::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    const QImage picture = ui_->imgLogo->pixmap().toImage();
    ui_->pbLogo->setGeometry(QRect(ui_->imgLogo->pos(), picture.size()));
    try {
        logo_ = RasterFromGraphic(picture);
        output_ = std::make_unique<TDIBRaster>(logo_->Width(), logo_->Height());
        water_ = std::make_unique<TWaterize>(logo_->Width(), logo_->Height());
    } catch (const std::exception&) {
        // Without memory for the water the box shows a still, black pool.
        water_.reset();
        output_.reset();
        logo_.reset();
        return;
    }
    tmrAnim_.start();
}

void TfrmSimpleAbout::hideEvent(QHideEvent* event)
{
    tmrAnim_.stop();
    water_.reset();
    output_.reset();
    logo_.reset();
    QDialog::hideEvent(event);
}

void TfrmSimpleAbout::AnimationTick()
{
    if (!water_)
        return;
    water_->Execute(*logo_, *output_);
    ui_->pbLogo->update();
}

void TfrmSimpleAbout::StirAt(int x, int y)
{
    // The outermost two pixels stay still: the filter reads neighbours there.
    const int width = ui_->pbLogo->width(), height = ui_->pbLogo->height();
    if (water_ && x > 1 && x < width - 2 && y > 1 && y < height - 2)
        water_->CurrentHeights().FillHeights(x - 1, y - 1, 3, 3, kStirHeight);
}

void TfrmSimpleAbout::Shake()
{
    if (water_)
        water_->CurrentHeights().AddSineWave(kShakeAmplitude, 0.0f, kShakeWaves);
}

bool TfrmSimpleAbout::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != ui_->pbLogo)
        return QDialog::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::Paint: {
        QPainter painter(ui_->pbLogo);
        painter.fillRect(ui_->pbLogo->rect(), Qt::black);
        if (output_)
            output_->CopyToDevice(painter, 0, 0, 0, 0, logo_->Width(), logo_->Height());
        return true;
    }
    case QEvent::MouseMove: {
        const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
        StirAt(at.x(), at.y());
        return true;
    }
    case QEvent::MouseButtonPress:
        Shake();
        return true;
    default:
        return false;
    }
}
