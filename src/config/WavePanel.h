#pragma once
// A group box that edits the seven values of one wave component: the phase on its own and
// the amplitude and frequency modulation as a grid. Leaving any field reads all seven.

#include "kinds/LumenfallCfg.h"

#include <QGroupBox>

#include <array>
#include <memory>

class QLineEdit;
namespace Ui {
class TWavePanel;
}

inline constexpr int kWavePanelWidth = 209;
inline constexpr int kWavePanelHeight = 185;

class TWavePanel : public QGroupBox {
    Q_OBJECT
public:
    explicit TWavePanel(const QString& caption, QWidget* parent = nullptr);
    ~TWavePanel() override;

    // Shows the record and edits it from now on; the record must outlive the panel's use.
    void Show(TWaveComponent& component);
    // Parses all seven fields into the record; a field that does not read stores 0.
    void Read();
    // "All Zero".
    void Zero();

    // Phase, AM base, amplitude, frequency, FM base, amplitude, frequency.
    QLineEdit& Field(int index) const { return *fields_[size_t(index)]; }

private:
    std::unique_ptr<Ui::TWavePanel> ui_;
    std::array<QLineEdit*, 7> fields_{};
    TWaveComponent* component_ = nullptr;
    bool loading_ = false;
};
