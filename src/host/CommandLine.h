#pragma once
// What the command line asks the program to do. The screen-saver switches follow the
// platform's convention: the first argument in upper case with one leading "-" or "/"
// dropped, and only its first character counts ("/s", "-S", "s"; "/c:1234" is "C"). Before
// that rule, whole arguments are matched for our own options (--render, --window, --help,
// -h, --version), for the hack options of XScreenSaver in their single- and double-dash
// forms (--root, --window-id ID, --window, --fps) and for the generic X options that
// XScreenSaver or a user may add anywhere (--display NAME, --install, --visual ID). A
// double-dash option that none of these names is an error, never the dialog.

#include <cstdint>
#include <string>
#include <vector>

enum class TStartMode : uint8_t {
    smSaver,          // "S"
    smPreview,        // "P", with the parent window as second argument
    smConfig,         // "C", no argument, anything else
    smChangePassword, // "A"
    smNothing,        // "L"
    smRender,         // --render
    smWindow,         // --window: the show in an ordinary window
    smHelp,
    smVersion,
    smHack,           // run by XScreenSaver
};

enum class THackTarget : uint8_t {
    htRoot,     // $XSCREENSAVER_WINDOW, else the root window
    htWindowId, // the window given after --window-id
    htWindow,   // an ordinary window, like --window
};

struct TCommandLine {
    TStartMode Mode = TStartMode::smConfig;
    // "P" and "A": whether a second argument was given, and the window it names ("A" reads
    // 0 for text that is not a number).
    bool HasParent = false;
    uint64_t ParentWindow = 0;
    THackTarget HackTarget = THackTarget::htWindow;
    uint64_t HackWindow = 0;
    bool ShowFPS = false;
    // The X display named by --display; empty for $DISPLAY.
    std::string Display;
    // The arguments after --render.
    std::vector<std::string> RenderArguments;
    // Set when the arguments cannot be run; the program reports it with the usage and ends.
    std::string Error;
};

// arguments without the program's name.
TCommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// A window id: decimal, or hexadecimal after "0x" or "0X" in either case. False for anything
// else or a value that does not fit 32 bits (X11 ids have 29).
bool ParseWindowId(const std::string& text, uint64_t& id);

// Whether a mode opens windows (and so needs a display).
bool NeedsDisplay(TStartMode mode);

std::string UsageText(const std::string& programName);
