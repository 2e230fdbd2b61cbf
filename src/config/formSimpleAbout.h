#pragma once
// The about box: the maker's logo as a water surface that the mouse stirs and a click
// shakes, and the program's name, version, copyright and description from its version data.

#include <QDialog>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>

namespace Ui {
class TfrmSimpleAbout;
}

class TDIBRaster;
class TWaterize;

class TfrmSimpleAbout : public QDialog {
public:
    // programFile: the file whose version data the information page shows; empty for the
    // running program.
    explicit TfrmSimpleAbout(QWidget* parent = nullptr, const std::string& programFile = {});
    ~TfrmSimpleAbout() override;

    // Called when the link in the bottom strip is clicked.
    std::function<void()> OnOpenLink;

    Ui::TfrmSimpleAbout& Controls() { return *ui_; }
    QTimer& AnimationTimer() { return tmrAnim_; }
    // Null while the box is hidden.
    TWaterize* Water() const { return water_.get(); }
    const TDIBRaster* Output() const { return output_.get(); }

    // One step of the water.
    void AnimationTick();
    // The mouse over the logo at (x, y) of the logo box; a click shakes the whole pool.
    void StirAt(int x, int y);
    void Shake();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FillInformation(const std::string& programFile);

    std::unique_ptr<Ui::TfrmSimpleAbout> ui_;
    QTimer tmrAnim_;
    std::unique_ptr<TDIBRaster> logo_;
    std::unique_ptr<TDIBRaster> output_;
    std::unique_ptr<TWaterize> water_;
};

// What the information page shows when the program file has no version data.
inline constexpr const char* kMakerNotice = "Copyright (C) Quenwick";
