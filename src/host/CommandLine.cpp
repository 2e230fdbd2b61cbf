#include "host/CommandLine.h"

#include "util/AsciiCase.h"

#include <charconv>

namespace {

bool ParseNumber(const char* first, const char* last, int base, uint64_t& value)
{
    if (first == last)
        return false;
    uint64_t parsed = 0;
    const auto [end, error] = std::from_chars(first, last, parsed, base);
    if (error != std::errc() || end != last || parsed > UINT32_MAX)
        return false;
    value = parsed;
    return true;
}

bool ParseDecimal(const std::string& text, uint64_t& value)
{
    return ParseNumber(text.data(), text.data() + text.size(), 10, value);
}

// "--name" as "-name"; anything else unchanged.
std::string SingleDash(const std::string& argument)
{
    return argument.starts_with("--") ? argument.substr(1) : argument;
}

// The hack options in both forms; the window id wins over --root and --window in any order.
void ParseHackArguments(const std::vector<std::string>& arguments, TCommandLine& command)
{
    command.Mode = TStartMode::smHack;
    bool hasWindowId = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const std::string name = SingleDash(argument);
        if (name == "-root") {
            if (!hasWindowId)
                command.HackTarget = THackTarget::htRoot;
        } else if (name == "-window") {
            if (!hasWindowId)
                command.HackTarget = THackTarget::htWindow;
        } else if (name == "-fps") {
            command.ShowFPS = true;
        } else if (name == "-window-id") {
            if (i + 1 == arguments.size() || !ParseWindowId(arguments[i + 1], command.HackWindow)) {
                command.Error = argument + " needs a window id (decimal or 0x-hexadecimal)";
                return;
            }
            command.HackTarget = THackTarget::htWindowId;
            hasWindowId = true;
            ++i;
        } else {
            command.Error = "unrecognized option '" + argument + "'";
            return;
        }
    }
}

bool IsHackArgument(const std::string& argument)
{
    const std::string name = SingleDash(argument);
    return name == "-root" || name == "-window-id" || name == "-window" || name == "-fps";
}

// Takes out the generic X options, which may stand anywhere: --display is kept, --install
// and --visual are accepted and ignored. False (with the error set) for a missing value.
bool TakeGenericOptions(const std::vector<std::string>& arguments, std::vector<std::string>& rest,
                        TCommandLine& command)
{
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string name = SingleDash(arguments[i]);
        if (name == "-install")
            continue;
        if (name == "-display" || name == "-visual") {
            if (i + 1 == arguments.size()) {
                command.Error = arguments[i] + " needs a value";
                return false;
            }
            if (name == "-display")
                command.Display = arguments[i + 1];
            ++i;
            continue;
        }
        rest.push_back(arguments[i]);
    }
    return true;
}

bool IsLongOption(const std::string& argument) { return argument.size() > 2 && argument.starts_with("--"); }

// The screen-saver switch's letter; 0 when the argument has none.
char SwitchLetter(const std::string& argument)
{
    size_t at = 0;
    if (!argument.empty() && (argument[0] == '-' || argument[0] == '/'))
        at = 1;
    return at < argument.size() ? AsciiUpper(argument[at]) : '\0';
}

void ParseSwitch(const std::vector<std::string>& arguments, TCommandLine& command)
{
    const bool hasSecond = arguments.size() > 1;
    switch (SwitchLetter(arguments[0])) {
    case 'S':
        command.Mode = TStartMode::smSaver;
        break;
    case 'P':
        command.Mode = TStartMode::smPreview;
        command.HasParent = hasSecond;
        if (hasSecond && !ParseDecimal(arguments[1], command.ParentWindow))
            command.Error = "'" + arguments[1] + "' is not a valid integer value";
        break;
    case 'A':
        command.Mode = TStartMode::smChangePassword;
        command.HasParent = hasSecond;
        if (hasSecond && !ParseDecimal(arguments[1], command.ParentWindow))
            command.ParentWindow = 0;
        break;
    case 'L':
        command.Mode = TStartMode::smNothing;
        break;
    default:
        command.Mode = TStartMode::smConfig;
        break;
    }
}

} // namespace

bool ParseWindowId(const std::string& text, uint64_t& id)
{
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        return ParseNumber(text.data() + 2, text.data() + text.size(), 16, id);
    return ParseDecimal(text, id);
}

TCommandLine ParseCommandLine(const std::vector<std::string>& arguments)
{
    TCommandLine command;
    if (!arguments.empty() && arguments[0] == "--render") {
        command.Mode = TStartMode::smRender;
        command.RenderArguments.assign(arguments.begin() + 1, arguments.end());
        return command;
    }
    std::vector<std::string> rest;
    if (!TakeGenericOptions(arguments, rest, command) || rest.empty())
        return command;

    const std::string& first = rest[0];
    if (first == "--render") {
        command.Mode = TStartMode::smRender;
        command.RenderArguments.assign(rest.begin() + 1, rest.end());
    } else if (first == "--help" || first == "-h" || first == "--version" || (first == "--window" && rest.size() == 1)) {
        command.Mode = first == "--window"    ? TStartMode::smWindow
                       : first == "--version" ? TStartMode::smVersion
                                              : TStartMode::smHelp;
        if (rest.size() > 1)
            command.Error = first + " takes no further arguments";
    } else if (IsHackArgument(first)) {
        ParseHackArguments(rest, command);
    } else if (IsLongOption(first)) {
        command.Error = "unrecognized option '" + first + "'";
    } else {
        ParseSwitch(rest, command);
    }
    return command;
}

bool NeedsDisplay(TStartMode mode)
{
    switch (mode) {
    case TStartMode::smRender:
    case TStartMode::smHelp:
    case TStartMode::smVersion:
    case TStartMode::smNothing:
        return false;
    default:
        return true;
    }
}

std::string UsageText(const std::string& programName)
{
    return "Usage: " + programName + " [switch]\n"
           "       " + programName + " [--root | --window-id ID | --window] [--fps]\n"
           "\n"
           "Screen-saver switches (case-insensitive, optionally after \"/\" or \"-\"):\n"
           "  S              run the saver full screen\n"
           "  P [WINDOW]     run the preview inside the X11 window WINDOW (decimal id),\n"
           "                 or in a window of its own\n"
           "  C              open the configuration (also without a switch)\n"
           "  A              change the password\n"
           "\n"
           "Other options:\n"
           "  --window       run the show in an ordinary resizable window\n"
           "  --render ...   render frames into picture files without a display\n"
           "                 (--render --help lists its options)\n"
           "  -h, --help     show this text\n"
           "  --version      show the version\n"
           "\n"
           "As a hack of XScreenSaver (also with a single dash):\n"
           "  --root         draw into $XSCREENSAVER_WINDOW, or the root window\n"
           "  --window-id ID draw into the window ID (decimal or 0x-hexadecimal);\n"
           "                 it wins over --root and --window\n"
           "  --window       draw into an ordinary window\n"
           "  --fps          show the frame rate\n"
           "\n"
           "Anywhere: --display NAME (the X display to use), --install, --visual ID\n"
           "(accepted and ignored).\n";
}
