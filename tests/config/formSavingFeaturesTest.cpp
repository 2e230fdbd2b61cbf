#include "config/formSavingFeatures.h"

#include <QAction>
#include <QCheckBox>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

struct TActions {
    TActions()
    {
        showFPS.setCheckable(true);
        showName.setCheckable(true);
    }
    TSavingFeaturesActions Bound() { return {&showFPS, &showName, &save, &cont}; }
    QAction showFPS{"Show frames per second"};
    QAction showName{"Show particle system name"};
    QAction save{"Save screenshot..."};
    QAction cont{"Continue"};
};

TEST(formSavingFeaturesTest, LayoutAndCaptions)
{
    TActions actions;
    TfrmSavingFeatures form(actions.Bound());
    EXPECT_EQ(form.windowTitle(), "Saving features");
    EXPECT_EQ(form.size(), QSize(168, 125));
    EXPECT_TRUE(form.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(form.cbShowFPS()->text(), "Show frames per second");
    EXPECT_EQ(form.cbShowParticleSystemName()->geometry(), QRect(5, 25, 156, 17));
    EXPECT_EQ(form.btnSaveScreenshot()->text(), "Save screenshot...");
    EXPECT_EQ(form.btnContinue()->geometry(), QRect(4, 89, 157, 29));
    EXPECT_TRUE(form.btnContinue()->isDefault());
}

TEST(formSavingFeaturesTest, ControlsTriggerTheActions)
{
    TActions actions;
    TfrmSavingFeatures form(actions.Bound());
    int saves = 0, continues = 0;
    QObject::connect(&actions.save, &QAction::triggered, [&] { ++saves; });
    QObject::connect(&actions.cont, &QAction::triggered, [&] { ++continues; });

    form.cbShowFPS()->click();
    EXPECT_TRUE(actions.showFPS.isChecked());
    EXPECT_TRUE(form.cbShowFPS()->isChecked());
    form.cbShowFPS()->click();
    EXPECT_FALSE(actions.showFPS.isChecked());
    EXPECT_FALSE(form.cbShowFPS()->isChecked());

    actions.showName.trigger(); // from the saver's side
    EXPECT_TRUE(form.cbShowParticleSystemName()->isChecked());

    form.btnSaveScreenshot()->click();
    form.btnContinue()->click();
    form.reject(); // Escape
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(continues, 2);
}

} // namespace
