#pragma once
// The saver window: the show on the whole virtual desktop, paced by a precise timer, with
// the overlay switches, the screenshot and the saving-features window, ended by the user's
// input. The same window runs the show in an ordinary window (--window) and inside a window
// that XScreenSaver gives its hack; the preview derives from it. Where the compositor places
// windows itself (Wayland), the full-screen saver is this window on the primary output plus
// one window per further output, each showing its part of the show and handing its input here.

#include "host/OutputArea.h"
#include "host/SaverInput.h"
#include "host/formOutputWindows.h"
#include "host/SaverShow.h"
#include "platform/WindowSystem.h"

#include <QAction>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QLabel;
class QScreen;
class TfrmSavingFeatures;

enum class TSaverPlacement : uint8_t {
    spFullScreen, // the screen saver: borderless and top-most over every monitor
    spWindow,     // an ordinary resizable window; input other than the hot key is ignored
    spEmbedded,   // a child of a window of another program; input is left to that program
    spPreview,    // the preview: a child of the given window, else a window of its own
};

class TfrmLumenfall : public QWidget {
public:
    // parentWindow: the foreign window of spEmbedded. windowSystem: what the platform allows.
    explicit TfrmLumenfall(TSaverPlacement placement = TSaverPlacement::spFullScreen, uint64_t parentWindow = 0,
                           TWindowSystem windowSystem = CurrentWindowSystem());
    ~TfrmLumenfall() override;

    // Shows the window, loads the settings and builds the show; the frames start 20 ms later.
    void Start();

    TSaverPlacement Placement() const { return placement_; }
    TSaverShow& Show() { return show_; }
    bool Installed() const { return show_.Installed(); }
    bool Running() const { return running_; }
    float WaveStartPos() const { return waveStartPos_; }
    int32_t IgnoreCloseCount() const { return ignoreCloseCount_; }
    TfrmSavingFeatures* SavingFeaturesWindow() const { return savingFeaturesWindow_.get(); }
    // The windows of the further outputs; empty where one window covers the desktop.
    std::vector<QWidget*> OutputWindows() const;

    // Ends the show unless the features window is visible or a close request is to be
    // ignored; stores the wave position first.
    void TryClose();
    // Ends the show at once: stores the wave position (not for the preview) and closes.
    void EndShow();
    void ShowSavingFeatures();
    void ContinueSaving();
    // Writes the current frame as a Windows bitmap; a file that cannot be written is reported.
    void SaveScreenshot(const QString& fileName);

    // Called when the window has closed: the program's run ends there.
    std::function<void()> OnClosed;

    // Asks for the screenshot's file name; empty when cancelled. Tests replace the dialog.
    std::function<QString()> AskScreenshotFileName;

    QAction acShowFPS{"Show frames per second"};
    QAction acShowParticleSystemName{"Show particle system name"};
    QAction acSaveScreenshot{"Save screenshot..."};
    QAction acContinueSaving{"Continue"};

protected:
    // The size in pixels that the preset's percentages refer to.
    virtual void BaseSize(int32_t& width, int32_t& height);
    virtual void BuildShow();
    // Starts the frames.
    virtual void StartAnimation();

    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Input, closing and painting of the further outputs' windows.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // Recomputes the monitors and the black rest after a change of size or show.
    void UpdateLayout();

    // The monitors of the area the saver covers, relative to its top-left corner.
    std::vector<TMonitor> Monitors() const;
    QRect VirtualDesktop() const;
    // The size of the area that the monitors lie in.
    QSize DesktopSize() const;
    uint64_t ParentWindow() const { return parentWindow_; }
    void EmbedIntoParent(int32_t width, int32_t height);
    QLabel* lblError() const { return lblError_; }

    QTimer tmrStartAnim_;

private:
    void FormShow();
    void ShowFullScreen();
    // The rectangle of the desktop that the window of an output covers, as its entry of the
    // monitors (which follow the screen list); the window's own rectangle without a screen
    // (one window for the whole desktop, or not full screen).
    QRect AreaOf(const QScreen* screen, const std::vector<TMonitor>& monitors) const;
    // Positions are local to each window: the first report in another window only records.
    void PointerEntered(const QWidget& window);
    void PointerMoved(const QWidget& window, QPoint at);
    void ChangeDisplayMode();
    void ApplyProcessPriority();
    void NextFrame();
    void ScheduleNextFrame();
    // The checks of TryClose: the features window, the requests to ignore, the password.
    bool CloseAllowed();
    // Stores the wave position and stops the show; the window closes next.
    void PrepareClose();
    void FormClose();
    void RestoreDisplayMode();
    QString RunScreenshotDialog();

    TSaverPlacement placement_;
    uint64_t parentWindow_;
    TWindowSystem windowSystem_;
    TSaverShow show_;
    QLabel* lblError_;
    std::unique_ptr<TfrmSavingFeatures> savingFeaturesWindow_;
    QTimer parentWatch_;
    QTimer frameTimer_;
    uint32_t lastFrameTime_ = 0;
    bool running_ = false;
    bool started_ = false;
    bool closing_ = false;
    bool cursorHidden_ = false;
    bool modeChanged_ = false;
    bool ignoreMouseMove_ = false;
    int32_t ignoreCloseCount_ = 0;
    float waveStartPos_ = 0;
    TMouseMoveTracker mouse_;
    const QWidget* pointerWindow_ = nullptr;
    // With a window per output: this window's screen and the further outputs' windows.
    QScreen* screen_ = nullptr;
    TOutputWindows outputs_;
    TOutputArea layout_;
};
