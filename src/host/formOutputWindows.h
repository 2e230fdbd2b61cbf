#pragma once
// The windows of the further outputs of the full-screen saver where the compositor places
// windows itself: a plain full-screen window on every screen but the saver window's, each
// with the layout of its part of the desktop. The saver window filters their events.

#include "host/OutputArea.h"

#include <QWidget>

#include <memory>
#include <vector>

class QScreen;

class TOutputWindows {
public:
    struct TOutput {
        std::unique_ptr<QWidget> Window;
        QScreen* Screen = nullptr;
        TOutputArea Layout;
    };

    // A window on every screen but `skip`, with the given flags and title; `filter` receives
    // their events.
    void Create(const QScreen* skip, Qt::WindowFlags flags, const QString& title, QObject* filter);
    void Clear() { outputs_.clear(); }
    void ShowFullScreen();
    void Update();
    void Hide();
    // The output whose window is `window`; null for any other object.
    TOutput* Find(const QObject* window);
    std::vector<TOutput>& Outputs() { return outputs_; }
    const std::vector<TOutput>& Outputs() const { return outputs_; }

private:
    std::vector<TOutput> outputs_;
};

// Full screen on the given screen (none: wherever the window is). A compositor ignores the
// positions a program sets: a window reaches an output through its screen.
void ShowFullScreenOn(QWidget& window, QScreen* screen);
