#include "config/formSavingFeatures.h"

#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>

namespace {
constexpr int kClientWidth = 168;
constexpr int kClientHeight = 125;
}

TfrmSavingFeatures::TfrmSavingFeatures(const TSavingFeaturesActions& actions)
    : QDialog(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      actions_(actions)
{
    setWindowTitle("Saving features");
    setFixedSize(kClientWidth, kClientHeight);
    // The controls are laid out for a small dialog font.
    QFont small = font();
    small.setPixelSize(10);
    setFont(small);
    cbShowFPS_ = BoundCheckBox(actions.ShowFPS, 5, 5, 160);
    cbShowName_ = BoundCheckBox(actions.ShowParticleSystemName, 5, 25, 156);
    btnSaveScreenshot_ = BoundButton(actions.SaveScreenshot, 5, 49, 156);
    // The bevel: a line at the top of its area.
    auto* bevel = new QFrame(this);
    bevel->setFrameShape(QFrame::HLine);
    bevel->setFrameShadow(QFrame::Sunken);
    bevel->setGeometry(5, 81, 156, 2);
    btnContinue_ = BoundButton(actions.ContinueSaving, 4, 89, 157);
    btnContinue_->setDefault(true);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - QPoint(kClientWidth / 2, kClientHeight / 2));
}

void TfrmSavingFeatures::reject() { actions_.ContinueSaving->trigger(); }

QCheckBox* TfrmSavingFeatures::BoundCheckBox(QAction* action, int x, int y, int width)
{
    auto* box = new QCheckBox(action->text(), this);
    box->setGeometry(x, y, width, 17);
    box->setChecked(action->isChecked());
    // The click triggers the action, which toggles its check mark; the box shows that mark.
    connect(box, &QCheckBox::clicked, action, [box, action] {
        box->setChecked(action->isChecked());
        action->trigger();
    });
    connect(action, &QAction::toggled, box, &QCheckBox::setChecked);
    return box;
}

QPushButton* TfrmSavingFeatures::BoundButton(QAction* action, int x, int y, int width)
{
    auto* button = new QPushButton(action->text(), this);
    button->setGeometry(x, y, width, 29);
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, action, &QAction::trigger);
    return button;
}
