#include "saver/input_watch.h"

#include "platform/thread_registration.h"

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace zelvor {

namespace {

Display* AsDisplay(void* display) { return static_cast<Display*>(display); }

/// The pointer's position on the screen of the root window.
bool PointerPosition(Display* display, int& x, int& y) {
    Window root = 0, child = 0;
    int windowX = 0, windowY = 0;
    unsigned mask = 0;
    return XQueryPointer(display, DefaultRootWindow(display), &root, &child, &x, &y, &windowX, &windowY, &mask) !=
           False;
}

}  // namespace

CInputWatch::CInputWatch(const std::string& displayName, int farMovePixels, Action onInput)
    : farMovePixels_(farMovePixels), onInput_(std::move(onInput)) {
    Display* display = XOpenDisplay(displayName.empty() ? nullptr : displayName.c_str());
    if (display == nullptr) return;
    int opcode = 0, event = 0, error = 0, major = 2, minor = 0;
    if (!XQueryExtension(display, "XInputExtension", &opcode, &event, &error) ||
        XIQueryVersion(display, &major, &minor) != Success) {
        XCloseDisplay(display);
        return;
    }
    // Raw events reach every client whatever window has the pointer or the focus, and nothing grabs them.
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    XIEventMask mask{XIAllMasterDevices, static_cast<int>(sizeof bits), bits};
    XISetMask(bits, XI_RawMotion);
    XISetMask(bits, XI_RawKeyPress);
    XISetMask(bits, XI_RawButtonPress);
    XISelectEvents(display, DefaultRootWindow(display), &mask, 1);
    XSync(display, False);
    wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0) {
        XCloseDisplay(display);
        return;
    }
    // The reference is taken before the constructor returns: a move made right after must count.
    int x = 0, y = 0;
    PointerPosition(display, x, y);
    seen_ = Pack(x, y);
    display_ = display;
    watching_ = true;
    opcode_ = opcode;
    thread_ = std::thread([this] {
        RegisteredThread registered;
        Run();
    });
}

CInputWatch::~CInputWatch() {
    if (wakeFd_ >= 0) {
        const std::uint64_t one = 1;
        (void)!write(wakeFd_, &one, sizeof one);
    }
    if (thread_.joinable()) thread_.join();
    if (display_ != nullptr) XCloseDisplay(AsDisplay(display_));
    if (wakeFd_ >= 0) close(wakeFd_);
}

void CInputWatch::Run() {
    Display* display = AsDisplay(display_);
    const long far2 = static_cast<long>(farMovePixels_) * farMovePixels_;
    for (;;) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type != GenericEvent || event.xcookie.extension != opcode_) continue;
            const int kind = event.xcookie.evtype;
            bool ends = kind == XI_RawKeyPress || kind == XI_RawButtonPress;
            Input input = kind == XI_RawKeyPress ? Input::Key : Input::Button;
            if (kind == XI_RawMotion) {
                input = Input::FarMove;
                // The raw event tells that the pointer moved, the pointer itself where to. The window's
                // position is read after the pointer's: a window that keeps up is never judged behind.
                int x = 0, y = 0;
                if (PointerPosition(display, x, y)) {
                    const std::int64_t seen = seen_;
                    const long dx = x - static_cast<std::int32_t>(static_cast<std::uint64_t>(seen) >> 32);
                    const long dy = y - static_cast<std::int32_t>(seen & 0xffffffff);
                    ends = dx * dx + dy * dy >= far2;
                }
            }
            if (ends) {
                if (onInput_) onInput_(input);
                return;
            }
        }
        pollfd fds[2] = {{ConnectionNumber(display), POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) continue;
        if (fds[1].revents != 0) return;
        if ((fds[0].revents & (POLLERR | POLLHUP)) != 0) return;
    }
}

}  // namespace zelvor
