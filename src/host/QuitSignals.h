#pragma once
// Turns SIGTERM, SIGINT and SIGHUP into a call on the event loop, so that the program ends
// through its ordinary path (display mode restored, wave position stored) instead of dying.

#include <functional>

// Installs the handlers once; later calls replace the action. Needs the application object.
void OnQuitSignal(std::function<void()> action);
