#include "host/formLumenfall.h"

#include "graphics/GfxTool.h"
#include "host/MouseCursor.h"
#include "host/MultimediaTools.h"
#include "host/ScreenSaverUtils.h"
#include "platform/X11Windows.h"
#include "host/formPassword.h"
#include "config/formSavingFeatures.h"
#include "kinds/LumenfallCfg.h"
#include "kinds/ParticleWaves.h"
#include "sequencing/Sequencer.h"
#include "util/WindowsTool.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <QWindow>

#include <sys/resource.h>

namespace {

constexpr int kStartDelayMs = 20;
// Frames are more than this many milliseconds apart.
constexpr uint32_t kFrameIntervalMs = 20;
constexpr int kBaseWidth = 320;
constexpr int kBaseHeight = 240;
constexpr int kDefaultWindowWidth = 960;
constexpr int kDefaultWindowHeight = 540;
// How long a display-mode change may take to reach the screen list.
constexpr int kModeChangeWaitMs = 1000;
constexpr int kParentWatchMs = 1000;
constexpr int kActivateDelayMs = 200;

// Nice values standing for the idle, normal and high priority classes.
constexpr int kPriorityNice[] = {19, 0, -10};

} // namespace

TfrmLumenfall::TfrmLumenfall(TSaverPlacement placement, uint64_t parentWindow, TWindowSystem windowSystem)
    : placement_(placement), parentWindow_(parentWindow), windowSystem_(windowSystem), lblError_(new QLabel(this))
{
    setWindowTitle("Lumenfall");
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, Qt::black);
    colours.setColor(QPalette::WindowText, Qt::white);
    setPalette(colours);
    QFont font("Arial");
    font.setPixelSize(13);
    setFont(font);
    lblError_->move(8, 8);
    lblError_->hide();

    acShowFPS.setCheckable(true);
    acShowParticleSystemName.setCheckable(true);
    connect(&acShowFPS, &QAction::toggled, this, [this](bool on) { show_.ShowFPS = on; });
    connect(&acShowParticleSystemName, &QAction::toggled, this, [this](bool on) { show_.ShowName = on; });
    connect(&acSaveScreenshot, &QAction::triggered, this, [this] {
        const QString fileName = AskScreenshotFileName ? AskScreenshotFileName() : RunScreenshotDialog();
        if (!fileName.isEmpty())
            SaveScreenshot(fileName);
    });
    connect(&acContinueSaving, &QAction::triggered, this, &TfrmLumenfall::ContinueSaving);

    if (placement_ == TSaverPlacement::spFullScreen || placement_ == TSaverPlacement::spWindow)
        savingFeaturesWindow_ = std::make_unique<TfrmSavingFeatures>(
            TSavingFeaturesActions{&acShowFPS, &acShowParticleSystemName, &acSaveScreenshot, &acContinueSaving});
    if (placement_ == TSaverPlacement::spFullScreen) {
        Qt::WindowFlags flags = Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint;
        if (windowSystem_.BypassWindowManager)
            flags |= Qt::X11BypassWindowManagerHint;
        setWindowFlags(flags);
        if (windowSystem_.WindowPerOutput) {
            screen_ = QGuiApplication::primaryScreen();
            outputs_.Create(screen_, windowFlags(), windowTitle(), this);
        } else {
            setGeometry(VirtualDesktop());
        }
    } else if (placement_ == TSaverPlacement::spWindow) {
        resize(kDefaultWindowWidth, kDefaultWindowHeight);
    }

    tmrStartAnim_.setSingleShot(true);
    tmrStartAnim_.setInterval(kStartDelayMs);
    connect(&tmrStartAnim_, &QTimer::timeout, this, &TfrmLumenfall::StartAnimation);
    // The program whose window holds the show may destroy it without telling us.
    parentWatch_.setInterval(kParentWatchMs);
    connect(&parentWatch_, &QTimer::timeout, this, [this] {
        if (!X11WindowSize(parentWindow_))
            close();
    });
    frameTimer_.setSingleShot(true);
    frameTimer_.setTimerType(Qt::PreciseTimer);
    connect(&frameTimer_, &QTimer::timeout, this, &TfrmLumenfall::NextFrame);

    waveStartPos_ = ReadWaveStartPos();
}

TfrmLumenfall::~TfrmLumenfall()
{
    frameTimer_.stop();
    outputs_.Clear();
    if (cursorHidden_)
        ShowCursor(true);
    RestoreDisplayMode();
    // The foreign parent window goes with its QWindow: the native child must go first.
    if (parentWindow_ != 0)
        destroy();
}

void TfrmLumenfall::Start()
{
    if (started_)
        return;
    started_ = true;
    if (parentWindow_ != 0) {
        if (const auto size = X11WindowSize(parentWindow_))
            EmbedIntoParent(size->Width, size->Height);
        parentWatch_.start();
    }
    FormShow();
    if (placement_ == TSaverPlacement::spFullScreen)
        ShowFullScreen();
    else
        show();
    if (Installed())
        tmrStartAnim_.start();
}

void TfrmLumenfall::ShowFullScreen()
{
    if (!windowSystem_.WindowPerOutput) {
        showNormal();
        raise();
        activateWindow();
        if (windowSystem_.KeyboardGrab)
            grabKeyboard();
        return;
    }
    outputs_.ShowFullScreen();
    ShowFullScreenOn(*this, screen_);
    activateWindow();
}

std::vector<QWidget*> TfrmLumenfall::OutputWindows() const
{
    std::vector<QWidget*> windows;
    for (const TOutputWindows::TOutput& output : outputs_.Outputs())
        windows.push_back(output.Window.get());
    return windows;
}

void TfrmLumenfall::FormShow()
{
    const bool fullScreen = placement_ == TSaverPlacement::spFullScreen;
    if (show_.LoadSettings(uint32_t(QDateTime::currentMSecsSinceEpoch()))) {
        if (fullScreen) {
            ignoreMouseMove_ = true;
            ChangeDisplayMode();
            ApplyProcessPriority();
            if (!windowSystem_.WindowPerOutput)
                setGeometry(VirtualDesktop());
        }
        if (placement_ == TSaverPlacement::spEmbedded)
            ApplyProcessPriority();
        int32_t baseWidth = kBaseWidth, baseHeight = kBaseHeight;
        BaseSize(baseWidth, baseHeight);
        show_.PrepareWave(baseWidth, baseHeight, waveStartPos_);
        BuildShow();
        UpdateLayout();
    } else {
        lblError_->setText(kNotInstalledMessage);
        lblError_->adjustSize();
        lblError_->show();
    }
    if (fullScreen) {
        ShowCursor(false);
        cursorHidden_ = true;
    }
}

void TfrmLumenfall::ChangeDisplayMode()
{
    const int32_t index = show_.Settings().ScreenMode;
    try {
        ChangeScreenMode(index);
    } catch (const EGraphicException&) {
        show_.AddMessage(kScreenModeMessage);
        return;
    }
    if (index < 0)
        return;
    modeChanged_ = true;
    // The screen list learns of the change through the event loop.
    const TDisplayMode& mode = ScreenModes().Modes()[size_t(index)];
    const QDeadlineTimer deadline(kModeChangeWaitMs);
    while (!deadline.hasExpired()) {
        const QScreen* primary = QGuiApplication::primaryScreen();
        if (primary && primary->size() == QSize(mode.Width, mode.Height))
            break;
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
    }
}

void TfrmLumenfall::RestoreDisplayMode()
{
    if (!modeChanged_)
        return;
    modeChanged_ = false;
    try {
        ChangeScreenMode(-1);
    } catch (const EGraphicException&) {
        // Leaving: the system restores temporary modes when the program ends.
    }
}

void TfrmLumenfall::ApplyProcessPriority()
{
    const auto priority = uint8_t(show_.Settings().ProcessPriority);
    if (priority >= 1 && priority <= 3)
        // Raising the priority needs privileges; without them the process keeps its own.
        ::setpriority(PRIO_PROCESS, 0, kPriorityNice[priority - 1]);
}

void TfrmLumenfall::BaseSize(int32_t& width, int32_t& height)
{
    switch (placement_) {
    case TSaverPlacement::spFullScreen: {
        const QSize size = show_.Settings().MultiMonitorMode == TMultiMonitorMode::mmStretchOverAll || !QGuiApplication::primaryScreen()
                               ? VirtualDesktop().size()
                               : QGuiApplication::primaryScreen()->size();
        width = size.width();
        height = size.height();
        break;
    }
    case TSaverPlacement::spWindow:
    case TSaverPlacement::spEmbedded:
        width = this->width();
        height = this->height();
        break;
    case TSaverPlacement::spPreview:
        break;
    }
}

void TfrmLumenfall::BuildShow() { show_.BuildShow(); }

void TfrmLumenfall::StartAnimation()
{
    if (placement_ == TSaverPlacement::spFullScreen && !windowSystem_.WindowPerOutput)
        setGeometry(VirtualDesktop());
    running_ = true;
    ignoreMouseMove_ = false;
    lastFrameTime_ = SequencerTime() - kFrameIntervalMs - 1;
    NextFrame();
}

void TfrmLumenfall::NextFrame()
{
    if (!running_)
        return;
    const uint32_t now = SequencerTime();
    if (uint32_t(now - lastFrameTime_) > kFrameIntervalMs) {
        lastFrameTime_ = now;
        try {
            show_.RenderFrame();
        } catch (const std::exception&) {
            // The show reports its own frame failures; this keeps anything else out of the
            // event loop, and the next frame is tried.
        }
        update();
        outputs_.Update();
    }
    ScheduleNextFrame();
}

void TfrmLumenfall::ScheduleNextFrame()
{
    const uint32_t elapsed = SequencerTime() - lastFrameTime_;
    frameTimer_.start(elapsed > kFrameIntervalMs ? 0 : int(kFrameIntervalMs + 1 - elapsed));
}

std::vector<TMonitor> TfrmLumenfall::Monitors() const
{
    if (placement_ != TSaverPlacement::spFullScreen)
        return {TMonitor{0, 0, width(), height(), true}};
    const QRect desktop = VirtualDesktop();
    const QScreen* primary = QGuiApplication::primaryScreen();
    std::vector<TMonitor> monitors;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect g = screen->geometry().translated(-desktop.topLeft());
        monitors.push_back({g.x(), g.y(), g.width(), g.height(), screen == primary});
    }
    return monitors;
}

QSize TfrmLumenfall::DesktopSize() const
{
    // In the monitors' units, whatever the window's own are.
    QRect desktop;
    for (const TMonitor& m : Monitors())
        desktop |= QRect(0, 0, m.Left + m.Width, m.Top + m.Height);
    return desktop.size();
}

QRect TfrmLumenfall::AreaOf(const QScreen* screen, const std::vector<TMonitor>& monitors) const
{
    // One window covering the desktop, or a window of its own, shows all of it at its size.
    const qsizetype index = screen ? QGuiApplication::screens().indexOf(screen) : -1;
    if (index < 0 || size_t(index) >= monitors.size())
        return rect();
    const TMonitor& monitor = monitors[size_t(index)];
    return QRect(monitor.Left, monitor.Top, monitor.Width, monitor.Height);
}

QRect TfrmLumenfall::VirtualDesktop() const
{
    QRect desktop;
    for (const QScreen* screen : QGuiApplication::screens())
        desktop = desktop.united(screen->geometry());
    return desktop.isEmpty() ? QRect(0, 0, kBaseWidth, kBaseHeight) : desktop;
}

void TfrmLumenfall::EmbedIntoParent(int32_t width, int32_t height)
{
    QWindow* parent = QWindow::fromWinId(WId(parentWindow_));
    setAttribute(Qt::WA_NativeWindow);
    create();
    windowHandle()->setParent(parent);
    setGeometry(0, 0, width, height);
}

void TfrmLumenfall::resizeEvent(QResizeEvent*) { UpdateLayout(); }

void TfrmLumenfall::UpdateLayout()
{
    const std::vector<TMonitor> monitors = Monitors();
    const QSize desktop = DesktopSize();
    const TBlankerSettings* shown = show_.Current() ? &show_.Settings() : nullptr;
    layout_ = LayOutArea(AreaOf(screen_, monitors), monitors, desktop, shown);
    for (TOutputWindows::TOutput& output : outputs_.Outputs())
        output.Layout = LayOutArea(AreaOf(output.Screen, monitors), monitors, desktop, shown);
}

void TfrmLumenfall::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    PaintOutputArea(painter, show_, layout_, DesktopSize());
}

void TfrmLumenfall::keyPressEvent(QKeyEvent* event)
{
    if (placement_ == TSaverPlacement::spEmbedded || placement_ == TSaverPlacement::spPreview)
        return;
    switch (HotkeyAction(show_.Settings().FeaturesHotkey, ShortcutFromKeyEvent(event->key(), event->modifiers()))) {
    case THotkeyAction::haShowFeatures:
        ShowSavingFeatures();
        break;
    case THotkeyAction::haClose:
        if (placement_ == TSaverPlacement::spFullScreen)
            TryClose();
        break;
    case THotkeyAction::haNone:
        break;
    }
}

void TfrmLumenfall::mousePressEvent(QMouseEvent*)
{
    if (placement_ == TSaverPlacement::spFullScreen)
        TryClose();
}

void TfrmLumenfall::mouseMoveEvent(QMouseEvent* event) { PointerMoved(*this, event->position().toPoint()); }

void TfrmLumenfall::enterEvent(QEnterEvent*) { PointerEntered(*this); }

void TfrmLumenfall::PointerEntered(const QWidget& window)
{
    if (placement_ != TSaverPlacement::spFullScreen)
        return;
    if (&window != pointerWindow_) {
        mouse_.Forget();
        pointerWindow_ = &window;
    }
    if (cursorHidden_)
        RefreshHiddenCursor();
}

void TfrmLumenfall::PointerMoved(const QWidget& window, QPoint at)
{
    if (placement_ != TSaverPlacement::spFullScreen || ignoreMouseMove_)
        return;
    if (&window != pointerWindow_) {
        mouse_.Forget();
        pointerWindow_ = &window;
    }
    if (mouse_.Moved(at.x(), at.y()))
        TryClose();
}

bool TfrmLumenfall::eventFilter(QObject* watched, QEvent* event)
{
    TOutputWindows::TOutput* output = outputs_.Find(watched);
    if (!output)
        return QWidget::eventFilter(watched, event);
    QWidget& window = *output->Window;
    switch (event->type()) {
    case QEvent::KeyPress:
        keyPressEvent(static_cast<QKeyEvent*>(event));
        return true;
    case QEvent::MouseButtonPress:
        mousePressEvent(static_cast<QMouseEvent*>(event));
        return true;
    case QEvent::MouseMove:
        PointerMoved(window, static_cast<QMouseEvent*>(event)->position().toPoint());
        return true;
    case QEvent::Enter:
        PointerEntered(window);
        return false;
    case QEvent::Close:
        // Closing any output's window is a request to end the whole show.
        event->ignore();
        close();
        return true;
    case QEvent::Resize:
        UpdateLayout();
        return false;
    case QEvent::Paint: {
        QPainter painter(&window);
        PaintOutputArea(painter, show_, output->Layout, DesktopSize());
        return true;
    }
    default:
        return QWidget::eventFilter(watched, event);
    }
}

void TfrmLumenfall::closeEvent(QCloseEvent* event)
{
    // The full-screen saver ends only as TryClose allows, also when the window manager asks.
    if (!closing_) {
        if (placement_ == TSaverPlacement::spFullScreen && !CloseAllowed()) {
            event->ignore();
            return;
        }
        PrepareClose();
    }
    event->accept();
    if (OnClosed)
        OnClosed();
}

bool TfrmLumenfall::CloseAllowed()
{
    if (closing_)
        return false;
    if (savingFeaturesWindow_ && savingFeaturesWindow_->isVisible())
        return false;
    if (ignoreCloseCount_ > 0) {
        --ignoreCloseCount_;
        return false;
    }
    // Where the system's locker does not ask for the password, the saver asks itself.
    return placement_ != TSaverPlacement::spFullScreen || GetWindowsVersion().Platform == 1 ||
           !ScreenSaveUsePassword() || VerifyPassword(this);
}

void TfrmLumenfall::TryClose()
{
    if (CloseAllowed())
        EndShow();
}

void TfrmLumenfall::EndShow()
{
    if (closing_)
        return;
    PrepareClose();
    close();
}

void TfrmLumenfall::PrepareClose()
{
    if (show_.WaveSystem() && placement_ != TSaverPlacement::spPreview)
        StoreWaveStartPos(show_.WaveSystem()->Pos);
    FormClose();
}

void TfrmLumenfall::FormClose()
{
    closing_ = true;
    running_ = false;
    frameTimer_.stop();
    if (cursorHidden_) {
        ShowCursor(true);
        cursorHidden_ = false;
    }
    if (placement_ == TSaverPlacement::spFullScreen && windowSystem_.KeyboardGrab)
        releaseKeyboard();
    if (savingFeaturesWindow_)
        savingFeaturesWindow_->hide();
    outputs_.Hide();
}

void TfrmLumenfall::ShowSavingFeatures()
{
    if (!savingFeaturesWindow_ || savingFeaturesWindow_->isVisible())
        return;
    if (cursorHidden_) {
        ShowCursor(true);
        cursorHidden_ = false;
    }
    if (placement_ == TSaverPlacement::spFullScreen && windowSystem_.KeyboardGrab)
        releaseKeyboard();
    if (placement_ == TSaverPlacement::spFullScreen && windowSystem_.WindowPerOutput) {
        // A compositor shows nothing above a full-screen window but the windows that belong
        // to it: without this the features window stays hidden, and the show cannot end.
        // It opens on the output whose window has the keyboard.
        const TOutputWindows::TOutput* active = outputs_.Find(QApplication::activeWindow());
        QWidget* owner = active ? active->Window.get() : this;
        savingFeaturesWindow_->winId();
        savingFeaturesWindow_->windowHandle()->setTransientParent(owner->windowHandle());
    }
    savingFeaturesWindow_->show();
    savingFeaturesWindow_->raise();
    savingFeaturesWindow_->activateWindow();
    if (windowSystem_.WindowPerOutput)
        // The compositor hands over the keyboard only to a window it has shown.
        QTimer::singleShot(kActivateDelayMs, savingFeaturesWindow_.get(), [this] {
            if (savingFeaturesWindow_->isVisible())
                savingFeaturesWindow_->activateWindow();
        });
}

void TfrmLumenfall::ContinueSaving()
{
    if (placement_ == TSaverPlacement::spFullScreen && !cursorHidden_) {
        ShowCursor(false);
        cursorHidden_ = true;
    }
    if (savingFeaturesWindow_)
        savingFeaturesWindow_->hide();
    ignoreCloseCount_ = 1;
    if (placement_ == TSaverPlacement::spFullScreen) {
        activateWindow();
        if (windowSystem_.KeyboardGrab)
            grabKeyboard();
    }
}

QString TfrmLumenfall::RunScreenshotDialog()
{
    QFileDialog dialog(savingFeaturesWindow_ ? static_cast<QWidget*>(savingFeaturesWindow_.get()) : this,
                       "Save Screenshot");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter("Windows Bitmaps (*.bmp)");
    dialog.setDefaultSuffix("bmp");
    dialog.setSizeGripEnabled(true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

void TfrmLumenfall::SaveScreenshot(const QString& fileName)
{
    const TDIBRaster* raster = show_.Current();
    if (!raster)
        return;
    QFile file(fileName);
    // The raster's own image is written: no copy of the pixels is made.
    if (!file.open(QIODevice::WriteOnly) || !raster->Image().save(&file, "BMP")) {
        const QString reason = file.errorString();
        file.close();
        QMessageBox::warning(savingFeaturesWindow_ ? static_cast<QWidget*>(savingFeaturesWindow_.get()) : this,
                             "Lumenfall", QString("Cannot create file \"%1\". %2").arg(fileName, reason));
    }
}
