#include "host/MouseCursor.h"

#include <QCursor>
#include <QGuiApplication>
#include <QPixmap>

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
    if (CursorVisible() || !qGuiApp)
        return;
    // The same shape set again counts as no change and is not sent. A see-through picture in
    // between is always sent, and needs no cursor theme, which a bare session may lack.
    QPixmap clear(1, 1);
    clear.fill(Qt::transparent);
    QGuiApplication::changeOverrideCursor(QCursor(clear, 0, 0));
    QGuiApplication::changeOverrideCursor(QCursor(Qt::BlankCursor));
}
