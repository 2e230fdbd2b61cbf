// Moves a pointer of its own on a wlroots compositor (sway), which a headless session lacks:
//   lumenfall_virtual_pointer WIDTH HEIGHT X,Y [X,Y ...]
// places the pointer at each position of a layout of WIDTH x HEIGHT in turn, a moment apart,
// with time for the clients to take the new pointer first. Used by the Wayland tests.

#include "virtual-pointer-unstable-v1-client.h"

#include <wayland-client.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

namespace {

constexpr auto kSettleTime = std::chrono::milliseconds(1000);
constexpr auto kStepTime = std::chrono::milliseconds(250);

struct TGlobals {
    wl_seat* Seat = nullptr;
    zwlr_virtual_pointer_manager_v1* Manager = nullptr;
};

void Announce(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t)
{
    auto* globals = static_cast<TGlobals*>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && !globals->Seat)
        globals->Seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    else if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
        globals->Manager = static_cast<zwlr_virtual_pointer_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
}

void Withdraw(void*, wl_registry*, uint32_t) {}

const wl_registry_listener kRegistryListener{Announce, Withdraw};

uint32_t NowMs()
{
    return uint32_t(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

struct TPoint {
    unsigned X = 0, Y = 0;
};

bool ParseArguments(int argc, char** argv, unsigned& width, unsigned& height, std::vector<TPoint>& points)
{
    if (argc < 4 || std::sscanf(argv[1], "%u", &width) != 1 || std::sscanf(argv[2], "%u", &height) != 1 ||
        width == 0 || height == 0)
        return false;
    for (int i = 3; i < argc; ++i) {
        TPoint point;
        if (std::sscanf(argv[i], "%u,%u", &point.X, &point.Y) != 2 || point.X >= width || point.Y >= height)
            return false;
        points.push_back(point);
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    unsigned width = 0, height = 0;
    std::vector<TPoint> points;
    if (!ParseArguments(argc, argv, width, height, points)) {
        std::fprintf(stderr, "usage: %s WIDTH HEIGHT X,Y [X,Y ...] (positions inside the layout)\n", argv[0]);
        return 2;
    }
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        std::fprintf(stderr, "%s: no Wayland display\n", argv[0]);
        return 1;
    }
    TGlobals globals;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kRegistryListener, &globals);
    wl_display_roundtrip(display);
    if (!globals.Manager) {
        std::fprintf(stderr, "%s: the compositor offers no virtual pointers\n", argv[0]);
        wl_display_disconnect(display);
        return 1;
    }
    zwlr_virtual_pointer_v1* pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(globals.Manager,
                                                                                              globals.Seat);
    wl_display_roundtrip(display);
    std::this_thread::sleep_for(kSettleTime);
    for (const TPoint& point : points) {
        zwlr_virtual_pointer_v1_motion_absolute(pointer, NowMs(), point.X, point.Y, width, height);
        zwlr_virtual_pointer_v1_frame(pointer);
        wl_display_roundtrip(display);
        std::this_thread::sleep_for(kStepTime);
    }
    zwlr_virtual_pointer_v1_destroy(pointer);
    zwlr_virtual_pointer_manager_v1_destroy(globals.Manager);
    if (globals.Seat)
        wl_seat_destroy(globals.Seat);
    wl_registry_destroy(registry);
    const bool failed = wl_display_roundtrip(display) < 0;
    wl_display_disconnect(display);
    return failed ? 1 : 0;
}
