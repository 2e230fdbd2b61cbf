#include "host/formOutputWindows.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

void TOutputWindows::Create(const QScreen* skip, Qt::WindowFlags flags, const QString& title, QObject* filter)
{
    for (QScreen* screen : QGuiApplication::screens()) {
        if (screen == skip)
            continue;
        TOutput output;
        output.Window = std::make_unique<QWidget>(nullptr, flags);
        output.Window->setWindowTitle(title);
        output.Window->setAttribute(Qt::WA_OpaquePaintEvent);
        output.Window->setMouseTracking(true);
        output.Window->setFocusPolicy(Qt::StrongFocus);
        output.Window->installEventFilter(filter);
        output.Screen = screen;
        outputs_.push_back(std::move(output));
    }
}

void TOutputWindows::ShowFullScreen()
{
    for (TOutput& output : outputs_)
        ShowFullScreenOn(*output.Window, output.Screen);
}

void TOutputWindows::Update()
{
    for (TOutput& output : outputs_)
        output.Window->update();
}

void TOutputWindows::Hide()
{
    for (TOutput& output : outputs_)
        output.Window->hide();
}

TOutputWindows::TOutput* TOutputWindows::Find(const QObject* window)
{
    const auto found = std::find_if(outputs_.begin(), outputs_.end(),
                                    [window](const TOutput& output) { return output.Window.get() == window; });
    return found == outputs_.end() ? nullptr : &*found;
}

void ShowFullScreenOn(QWidget& window, QScreen* screen)
{
    if (screen) {
        window.setScreen(screen);
        window.setGeometry(screen->geometry());
    }
    window.showFullScreen();
}
