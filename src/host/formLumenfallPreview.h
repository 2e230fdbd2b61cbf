#pragma once
// The preview: the active wave alone with an eighth of its particles, inside the window of
// the display settings named on the command line (or in a window of its own), stepped by a
// 20 ms timer. Input changes nothing.

#include "host/formLumenfall.h"

class TfrmLumenfallPreview : public TfrmLumenfall {
public:
    // parentWindow 0: a top-level window of the preset's size.
    explicit TfrmLumenfallPreview(uint64_t parentWindow = 0);

protected:
    void BuildShow() override;
    void StartAnimation() override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent*) override {}
    void mouseMoveEvent(QMouseEvent*) override {}

private:
    void StepFrame();

    QTimer stepTimer_;
};
