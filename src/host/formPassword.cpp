#include "host/formPassword.h"

#include "host/MouseCursor.h"
#include "host/ScreenSaverUtils.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QVBoxLayout>

TfrmPassword::TfrmPassword(QWidget* parent) : QDialog(parent), edtPassword_(new QLineEdit(this))
{
    setWindowTitle("Lumenfall");
    setWindowFlags(windowFlags() | Qt::WindowStaysOnTopHint);
    edtPassword_->setEchoMode(QLineEdit::Password);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Password:", this));
    layout->addWidget(edtPassword_);
    layout->addWidget(buttons);
}

TfrmPassword::~TfrmPassword() { ClearPassword(); }

QString TfrmPassword::Password() const { return edtPassword_->text(); }

void TfrmPassword::ClearPassword() { edtPassword_->clear(); }

namespace {

class TShownCursor {
public:
    TShownCursor() { ShowCursor(true); }
    ~TShownCursor() { ShowCursor(false); }
    TShownCursor(const TShownCursor&) = delete;
    TShownCursor& operator=(const TShownCursor&) = delete;
};

} // namespace

bool VerifyPassword(QWidget* window)
{
    TShownCursor cursor;
    TfrmPassword dialog(window);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    std::string password = dialog.Password().toStdString();
    dialog.ClearPassword();
    const bool valid = LoginPasswordValid(password);
    std::fill(password.begin(), password.end(), '\0');
    return valid;
}

void ChangePassword(QWidget* parent) { QMessageBox::information(parent, "Lumenfall", kChangePasswordMessage); }
