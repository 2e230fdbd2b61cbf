#pragma once
// The screen-saver password services that need no window: whether a password is asked for,
// and the check of the user's login password. The system's screen locker normally asks for
// it; the dialog and the password change live in host/formPassword.

#include <string>

// "ScreenSaveUsePassword" of "Control Panel\desktop" in the user's settings; false when the
// key or the value is missing or malformed.
bool ScreenSaveUsePassword();

// The PAM service the check runs under; its file comes with the program (data/pam).
inline constexpr const char* kPasswordService = "lumenfall";

// True when the password is the current user's login password. A service without its
// configuration file, or PAM refusing to start, raises Exception saying what to install.
bool LoginPasswordValid(const std::string& password, const std::string& service = kPasswordService);

inline constexpr const char* kChangePasswordMessage =
    "Lumenfall uses your login password; it has no password of its own.\n"
    "Change the login password with your system's own tools, for example the passwd command "
    "or the user settings of your desktop.";
