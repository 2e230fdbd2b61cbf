#include "host/MouseCursor.h"

#include <QCursor>
#include <QGuiApplication>

namespace {
int showCount = 0;
}

int ShowCursor(bool show)
{
    const bool wasVisible = CursorVisible();
    showCount += show ? 1 : -1;
    if (wasVisible != CursorVisible() && qGuiApp) {
        if (wasVisible)
            QGuiApplication::setOverrideCursor(QCursor(Qt::BlankCursor));
        else
            QGuiApplication::restoreOverrideCursor();
    }
    return showCount;
}

bool CursorVisible() { return showCount >= 0; }

void RefreshHiddenCursor()
{
    if (!CursorVisible() && qGuiApp)
        QGuiApplication::changeOverrideCursor(QCursor(Qt::BlankCursor));
}
