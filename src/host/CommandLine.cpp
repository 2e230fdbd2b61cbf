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

void ParseHackArguments(const std::vector<std::string>& arguments, TCommandLine& command)
{
    command.Mode = TStartMode::smHack;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "-root") {
            command.HackTarget = THackTarget::htRoot;
        } else if (argument == "-window") {
            command.HackTarget = THackTarget::htWindow;
        } else if (argument == "-fps") {
            command.ShowFPS = true;
        } else if (argument == "-window-id") {
            if (i + 1 == arguments.size() || !ParseWindowId(arguments[i + 1], command.HackWindow)) {
                command.Error = "-window-id needs a window id (decimal or 0x-hexadecimal)";
                return;
            }
            command.HackTarget = THackTarget::htWindowId;
            ++i;
        } else {
            command.Error = "unknown argument \"" + argument + "\"";
            return;
        }
    }
}

bool IsHackArgument(const std::string& argument)
{
    return argument == "-root" || argument == "-window-id" || argument == "-window" || argument == "-fps";
}

// The screen-saver switch's letter; 0 when the argument has none.
char SwitchLetter(const std::string& argument)
{
    size_t at = 0;
    if (!argument.empty() && (argument[0] == '-' || argument[0] == '/'))
        at = 1;
    return at < argument.size() ? AsciiUpper(argument[at]) : '\0';
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
    if (arguments.empty())
        return command;
    const std::string& first = arguments[0];
    if (first == "--render") {
        command.Mode = TStartMode::smRender;
        command.RenderArguments.assign(arguments.begin() + 1, arguments.end());
        return command;
    }
    if (first == "--window" || first == "--help" || first == "--version") {
        command.Mode = first == "--window" ? TStartMode::smWindow
                       : first == "--help" ? TStartMode::smHelp
                                           : TStartMode::smVersion;
        if (arguments.size() > 1)
            command.Error = first + " takes no further arguments";
        return command;
    }
    if (IsHackArgument(first)) {
        ParseHackArguments(arguments, command);
        return command;
    }

    const bool hasSecond = arguments.size() > 1;
    switch (SwitchLetter(first)) {
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
    return command;
}

std::string UsageText(const std::string& programName)
{
    return "Usage: " + programName + " [switch]\n"
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
           "  --help         show this text\n"
           "  --version      show the version\n"
           "\n"
           "As a hack of XScreenSaver:\n"
           "  -root          draw into $XSCREENSAVER_WINDOW, or the root window\n"
           "  -window-id ID  draw into the window ID (decimal or 0x-hexadecimal)\n"
           "  -window        draw into an ordinary window\n"
           "  -fps           show the frame rate\n";
}
