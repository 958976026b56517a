#include "saver/x11_window.h"

#include <X11/Xlib.h>

namespace zelvor {

namespace {

int windowErrors = 0;

int CountError(Display*, XErrorEvent*) {
    ++windowErrors;
    return 0;
}

/// A connection of our own: the toolkit's may not be Xlib, and errors about foreign windows must not reach
/// the toolkit's error handler.
Display* OwnDisplay() {
    static Display* display = XOpenDisplay(nullptr);
    return display;
}

}  // namespace

X11WindowSize QueryX11WindowSize(std::uintptr_t window) {
    X11WindowSize size;
    Display* display = OwnDisplay();
    if (display == nullptr || window == 0) return size;
    XSync(display, False);
    windowErrors = 0;
    XErrorHandler previous = XSetErrorHandler(CountError);
    // The attributes rather than the geometry: a pixmap id has a geometry too, but is no window.
    XWindowAttributes attributes{};
    const Status ok = XGetWindowAttributes(display, static_cast<Window>(window), &attributes);
    XSync(display, False);
    XSetErrorHandler(previous);
    if (ok == 0 || windowErrors != 0) return size;
    size.exists = true;
    size.width = attributes.width;
    size.height = attributes.height;
    return size;
}

X11WindowGeometry QueryX11WindowGeometry(std::uintptr_t window) {
    X11WindowGeometry geometry;
    const X11WindowSize size = QueryX11WindowSize(window);
    Display* display = OwnDisplay();
    if (!size.exists || display == nullptr) return geometry;
    windowErrors = 0;
    XErrorHandler previous = XSetErrorHandler(CountError);
    int x = 0, y = 0;
    Window child = 0;
    const Bool ok = XTranslateCoordinates(display, static_cast<Window>(window), DefaultRootWindow(display), 0, 0,
                                          &x, &y, &child);
    XSync(display, False);
    XSetErrorHandler(previous);
    if (!ok || windowErrors != 0) return geometry;
    geometry = {true, x, y, size.width, size.height};
    return geometry;
}

}  // namespace zelvor
