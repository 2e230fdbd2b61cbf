#include "platform/X11ErrorTrap.h"

#include <X11/Xlib.h>

namespace {

bool failed = false;

int RecordError(Display*, XErrorEvent*)
{
    failed = true;
    return 0;
}

} // namespace

TX11ErrorTrap::TX11ErrorTrap(Display* display) : display_(display)
{
    XSync(display_, False);
    failed = false;
    previous_ = reinterpret_cast<TOpaqueHandler>(XSetErrorHandler(&RecordError));
}

TX11ErrorTrap::~TX11ErrorTrap()
{
    XSync(display_, False);
    XSetErrorHandler(reinterpret_cast<XErrorHandler>(previous_));
}

bool TX11ErrorTrap::Failed()
{
    XSync(display_, False);
    return failed;
}
