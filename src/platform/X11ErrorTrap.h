#pragma once
// Requests on an X11 connection whose errors must come back as a result: without a trap an
// error reaches Xlib's default handler, which ends the process.

typedef struct _XDisplay Display;

// While the trap lives, errors of the connection are recorded instead of handled. Xlib's
// handler is process-wide, so traps must not overlap (one UI thread, one trap at a time).
class TX11ErrorTrap {
public:
    // Flushes what was requested before, so that earlier errors are not counted.
    explicit TX11ErrorTrap(Display* display);
    ~TX11ErrorTrap();
    TX11ErrorTrap(const TX11ErrorTrap&) = delete;
    TX11ErrorTrap& operator=(const TX11ErrorTrap&) = delete;

    // Waits for the replies to everything requested so far; true when any of them failed.
    bool Failed();

private:
    // Xlib's handler type, which needs Xlib's header; converted back before it is restored.
    using TOpaqueHandler = void (*)();
    Display* display_;
    TOpaqueHandler previous_;
};
