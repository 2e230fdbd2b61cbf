#include "platform/DisplayConnection.h"

#include <X11/Xlib.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

bool X11Reachable()
{
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name)
        return false;
    Display* display = XOpenDisplay(name);
    if (!display)
        return false;
    XCloseDisplay(display);
    return true;
}

bool WaylandReachable()
{
    const char* name = std::getenv("WAYLAND_DISPLAY");
    if (!name || !*name)
        return false;
    std::string path = name;
    if (path[0] != '/') {
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        if (!runtime || !*runtime)
            return false;
        path = std::string(runtime) + "/" + path;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path))
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    return connected;
}

// One entry of $QT_QPA_PLATFORM ("xcb", "wayland-egl", "offscreen:fontengine=freetype").
bool PlatformReachable(std::string_view entry)
{
    const std::string_view name = entry.substr(0, entry.find(':'));
    if (name == "xcb")
        return X11Reachable();
    if (name.starts_with("wayland"))
        return WaylandReachable();
    return !name.empty();
}

} // namespace

bool DisplayReachable()
{
    const char* platforms = std::getenv("QT_QPA_PLATFORM");
    if (!platforms || !*platforms)
        return X11Reachable() || WaylandReachable();
    // A list separated by ";" is tried in order by the toolkit.
    std::string_view list = platforms;
    while (!list.empty()) {
        const size_t end = list.find(';');
        if (PlatformReachable(list.substr(0, end)))
            return true;
        list = end == std::string_view::npos ? std::string_view() : list.substr(end + 1);
    }
    return false;
}
