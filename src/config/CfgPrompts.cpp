#include "config/CfgPrompts.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace {

class TStandardPrompts : public TCfgPrompts {
public:
    std::optional<QString> AskName(QWidget* parent, const QString& prompt) override
    {
        bool ok = false;
        const QString name = QInputDialog::getText(parent, "Lumenfall", prompt, QLineEdit::Normal, "New", &ok);
        return ok ? std::optional<QString>(name) : std::nullopt;
    }

    bool ConfirmOverwrite(QWidget* parent) override
    {
        return QMessageBox::question(parent, "Attention!", "This entry already exists! Do you want to overwrite?",
                                     QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
    }

    void Inform(QWidget* parent, const QString& text) override
    {
        QMessageBox::information(parent, "Lumenfall", text);
    }

    std::optional<QString> ChooseLogoFile(QWidget* parent, const QString& initialFile) override
    {
        QFileDialog dialog(parent);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setNameFilter(kLogoFileFilter);
        if (!initialFile.isEmpty())
            dialog.selectFile(initialFile);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return dialog.selectedFiles().front();
    }

    std::optional<QFont> ChooseFont(QWidget* parent, const QFont& initial) override
    {
        bool ok = false;
        const QFont font = QFontDialog::getFont(&ok, initial, parent);
        return ok ? std::optional<QFont>(font) : std::nullopt;
    }

    std::optional<QColor> ChooseColor(QWidget* parent, const QColor& initial) override
    {
        const QColor color = QColorDialog::getColor(initial, parent);
        return color.isValid() ? std::optional<QColor>(color) : std::nullopt;
    }

    void Beep() override { QApplication::beep(); }
};

} // namespace

TCfgPrompts& StandardPrompts()
{
    static TStandardPrompts prompts;
    return prompts;
}
