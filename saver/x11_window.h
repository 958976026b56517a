#pragma once
/// Questions about X11 windows of other processes (a preview host, an XScreenSaver window).
#include <cstdint>

namespace zelvor {

/// The size of an X11 window, or nothing when the window does not exist (or there is no X display).
struct X11WindowSize {
    bool exists = false;
    int width = 0;
    int height = 0;
};

/// Where an X11 window lies on the screen (root coordinates of its top-left corner) and its size.
struct X11WindowGeometry {
    bool exists = false;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

/// The window's place on the screen and size; a missing window or display gives exists = false. Main thread only.
X11WindowGeometry QueryX11WindowGeometry(std::uintptr_t window);

/// Asks the X server for the window's geometry; a missing window or display gives exists = false.
/// Main thread only.
X11WindowSize QueryX11WindowSize(std::uintptr_t window);

}  // namespace zelvor
