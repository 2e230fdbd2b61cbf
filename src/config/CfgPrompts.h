#pragma once
// The questions and standard dialogs of the preset pages, behind one interface so that
// tests answer them without a user.

#include <QColor>
#include <QFont>
#include <QString>

#include <optional>

class QWidget;

class TCfgPrompts {
public:
    virtual ~TCfgPrompts() = default;

    // The input box with caption "Lumenfall" and initial text "New"; nothing when cancelled.
    virtual std::optional<QString> AskName(QWidget* parent, const QString& prompt) = 0;
    // "This entry already exists! Do you want to overwrite?", No being the default.
    virtual bool ConfirmOverwrite(QWidget* parent) = 0;
    // A message box with one button: refusals and errors.
    virtual void Inform(QWidget* parent, const QString& text) = 0;
    // An existing picture file; nothing when cancelled.
    virtual std::optional<QString> ChooseLogoFile(QWidget* parent, const QString& initialFile) = 0;
    virtual std::optional<QFont> ChooseFont(QWidget* parent, const QFont& initial) = 0;
    virtual std::optional<QColor> ChooseColor(QWidget* parent, const QColor& initial) = 0;
    virtual void Beep() = 0;
};

// The platform's dialogs.
TCfgPrompts& StandardPrompts();

inline constexpr const char* kLogoFileFilter = "Graphic Files (*.jpg *.jpeg *.bmp *.wmf *.emf *.ico);;All Files (*)";
