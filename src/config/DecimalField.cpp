#include "config/DecimalField.h"

#include <QEvent>
#include <QLineEdit>
#include <QLocale>

#include <cmath>
#include <limits>

namespace {

class TFocusOutFilter : public QObject {
public:
    TFocusOutFilter(QWidget& widget, std::function<void()> commit) : QObject(&widget), commit_(std::move(commit))
    {
        widget.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::FocusOut)
            commit_();
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> commit_;
};

} // namespace

QString FormatDecimal(float value)
{
    QLocale locale;
    // Group separators would make the shown text differ from what the user types back.
    locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    return locale.toString(double(value), 'g', 7);
}

std::optional<float> ParseDecimal(const QString& text)
{
    bool ok = false;
    const double value = QLocale().toDouble(text.trimmed(), &ok);
    // Infinite or NaN coordinates would blank the show; such text counts as no number.
    if (!ok || !std::isfinite(value) || std::fabs(value) > double(std::numeric_limits<float>::max()))
        return std::nullopt;
    return float(value);
}

void ShowDecimal(QLineEdit& field, float value) { field.setText(FormatDecimal(value)); }

float ReadDecimal(const QLineEdit& field) { return ParseDecimal(field.text()).value_or(0.0f); }

void ShowVector(QLineEdit& x, QLineEdit& y, QLineEdit& z, const TVector3d& value)
{
    ShowDecimal(x, value.X);
    ShowDecimal(y, value.Y);
    ShowDecimal(z, value.Z);
}

TVector3d ReadVector(const QLineEdit& x, const QLineEdit& y, const QLineEdit& z)
{
    return {ReadDecimal(x), ReadDecimal(y), ReadDecimal(z)};
}

void OnExit(QLineEdit& field, const std::function<void()>& commit)
{
    QObject::connect(&field, &QLineEdit::editingFinished, &field, commit);
}

void OnFocusOut(QWidget& widget, const std::function<void()>& commit) { new TFocusOutFilter(widget, commit); }

void OnVectorExit(QLineEdit& x, QLineEdit& y, QLineEdit& z, const std::function<void()>& commit)
{
    for (QLineEdit* field : {&x, &y, &z})
        OnExit(*field, commit);
}
