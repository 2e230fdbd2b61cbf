#pragma once
// The password dialog of the saver and the password change. The system's screen locker
// normally guards the screen; these stand in for the password services a saver once had to
// call itself.

#include <QDialog>

class QLineEdit;

// Asks for the login password.
class TfrmPassword : public QDialog {
public:
    explicit TfrmPassword(QWidget* parent = nullptr);
    ~TfrmPassword() override;
    QString Password() const;
    // The entered text is wiped once read.
    void ClearPassword();

private:
    QLineEdit* edtPassword_;
};

// Shows the cursor, asks for the password modally and checks it as the login password; the
// cursor is hidden again whatever happens. Cancel is a failed check. Raises when the password
// service is not set up.
bool VerifyPassword(QWidget* window);

// Tells the user that the saver uses the login password, which the system's tools change.
void ChangePassword(QWidget* parent = nullptr);
