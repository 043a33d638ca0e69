// Watches the X server for a window that takes the whole screen, as a full-screen video mode
// does. Classic SDL 1.2 maps an override-redirect window over the whole screen; SDL 1.2 on SDL2
// asks the window manager for _NET_WM_STATE_FULLSCREEN instead, which a bare X server without a
// window manager leaves unanswered, so the request itself is what is watched for.
// usage: full_screen_probe (prints "watching" once it watches; exit 0 when one is seen)
#include <X11/Xlib.h>

#include <cstdio>

int main()
{
    Display* x = XOpenDisplay(nullptr);
    if (x == nullptr) return 2;
    // A window may be gone before it is looked at; that is no reason to stop watching.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    const Window root = DefaultRootWindow(x);
    XWindowAttributes screen;
    XGetWindowAttributes(x, root, &screen);
    XSelectInput(x, root, SubstructureNotifyMask);
    const Atom state = XInternAtom(x, "_NET_WM_STATE", False);
    const Atom full_screen = XInternAtom(x, "_NET_WM_STATE_FULLSCREEN", False);
    constexpr long kAdd = 1;
    XSync(x, False);
    std::puts("watching");
    std::fflush(stdout);
    for (;;) {
        XEvent event;
        XNextEvent(x, &event);
        // Mapped and sized in either order.
        const bool placed = (event.type == MapNotify && event.xmap.override_redirect) ||
                            (event.type == ConfigureNotify && event.xconfigure.override_redirect);
        const Window id = event.type == MapNotify ? event.xmap.window : event.xconfigure.window;
        XWindowAttributes window;
        if (placed && XGetWindowAttributes(x, id, &window) && window.map_state == IsViewable &&
            window.x == 0 && window.y == 0 && window.width == screen.width &&
            window.height == screen.height) {
            std::printf("an override-redirect window covers the %dx%d screen\n", window.width,
                        window.height);
            return 0;
        }
        const XClientMessageEvent& message = event.xclient;
        if (event.type == ClientMessage && message.message_type == state &&
            message.data.l[0] == kAdd &&
            (static_cast<Atom>(message.data.l[1]) == full_screen ||
             static_cast<Atom>(message.data.l[2]) == full_screen)) {
            std::puts("the window asks for _NET_WM_STATE_FULLSCREEN");
            return 0;
        }
    }
}
