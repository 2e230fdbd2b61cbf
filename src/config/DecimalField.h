#pragma once
// Decimal fields of the preset pages: values are shown in general format with seven
// significant digits and read with the user's locale. Fields committed on leaving ("exit")
// store 0 for text that does not read as a number; fields applied on every change ignore it.

#include "engine/World3d.h"

#include <QString>

#include <functional>
#include <optional>

class QLineEdit;
class QObject;
class QWidget;

QString FormatDecimal(float value);
// Nothing for text that is no number or no finite Single.
std::optional<float> ParseDecimal(const QString& text);

void ShowDecimal(QLineEdit& field, float value);
// The field's value, 0 when it does not read.
float ReadDecimal(const QLineEdit& field);

void ShowVector(QLineEdit& x, QLineEdit& y, QLineEdit& z, const TVector3d& value);
TVector3d ReadVector(const QLineEdit& x, const QLineEdit& y, const QLineEdit& z);

// Calls commit when the user leaves the field or presses Enter in it.
void OnExit(QLineEdit& field, const std::function<void()>& commit);
// Calls commit when a widget without an "editing finished" signal loses the focus.
void OnFocusOut(QWidget& widget, const std::function<void()>& commit);
// Calls commit when the user leaves any of the three fields of a vector.
void OnVectorExit(QLineEdit& x, QLineEdit& y, QLineEdit& z, const std::function<void()>& commit);
