#pragma once
// Turns SIGTERM, SIGINT and SIGHUP into a call on the event loop, so that the program ends
// through its ordinary path (display mode restored, wave position stored); at the very end it
// dies of the signal all the same, as the program that sent it expects (XScreenSaver counts
// any other end of a hack it stopped as abnormal).

#include <functional>

// Installs the handlers once; later calls replace the action. Needs the application object.
void OnQuitSignal(std::function<void()> action);

// The quit signal that arrived, 0 when none did.
int ReceivedQuitSignal();

// Declared before the application object, so that it goes last: when a quit signal ended the
// run, puts back the signal's default action and raises it again.
struct TQuitSignalReraise {
    TQuitSignalReraise() = default;
    TQuitSignalReraise(const TQuitSignalReraise&) = delete;
    TQuitSignalReraise& operator=(const TQuitSignalReraise&) = delete;
    ~TQuitSignalReraise();
};
