#pragma once

// A host's top-level X11 window for the editor tests: made on a connection of
// its own, read back pixel by pixel, clicked as the X server would deliver it.
// The thread that made it uses it.

#include "Colour.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <thread>
#include <utility>
#include <vector>

inline bool haveDisplay() { return std::getenv ("DISPLAY") != nullptr; }

/** A host's idle loop: `idle` at about 30 Hz for the given time, and once at its end. */
template <typename Idle>
void idleFor (int milliseconds, Idle&& idle)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds (milliseconds);
    while (std::chrono::steady_clock::now() < end)
    {
        idle();
        std::this_thread::sleep_for (std::chrono::milliseconds (33));
    }
    idle();
}

class HostWindow
{
public:
    explicit HostWindow (int y = 0, int width = 996, int height = 250)
    {
        // Like every real host, keep X errors from ending the process: a bare
        // Xvfb without a window manager lacks atoms that window setup refers to.
        XSetErrorHandler ([] (Display*, XErrorEvent*) { return 0; });

        display = XOpenDisplay (nullptr);
        if (display == nullptr)
            return;

        const int screen = DefaultScreen (display);
        window = XCreateSimpleWindow (display, RootWindow (display, screen), 0, y, (unsigned) width, (unsigned) height, 0,
                                      BlackPixel (display, screen), WhitePixel (display, screen));
        XStoreName (display, window, "Polyquinta test host");
        XMapWindow (display, window);
        XSync (display, False);
    }

    ~HostWindow()
    {
        if (display != nullptr)
        {
            XDestroyWindow (display, window);
            XCloseDisplay (display);
        }
    }

    bool isOpen() const { return display != nullptr; }
    void* handle() const { return (void*) (uintptr_t) window; }

    /** The child windows of this window, or of one inside it. */
    std::vector<Window> children (Window of = 0) const
    {
        XSync (display, False);
        Window root = 0, parent = 0, *kids = nullptr;
        unsigned int count = 0;
        XQueryTree (display, of != 0 ? of : window, &root, &parent, &kids, &count);
        std::vector<Window> result (kids, kids + count);
        if (kids != nullptr)
            XFree (kids);
        return result;
    }

    /** What the screen shows at a point of an editor at the window's corner. */
    Colour editorColourAt (int x, int y) const { return colourAt (x, y); }

    Colour colourAt (int x, int y) const
    {
        XSync (display, False);
        XImage* image = XGetImage (display, window, x, y, 1, 1, AllPlanes, ZPixmap);
        if (image == nullptr)
            return { -1, -1, -1 };
        const auto p = XGetPixel (image, 0, 0);
        XDestroyImage (image);
        return { (int) ((p >> 16) & 0xff), (int) ((p >> 8) & 0xff), (int) (p & 0xff) };
    }

    /** A left click at a point of the editor, as the X server would deliver it. */
    void click (Window target, int x, int y) const
    {
        for (int type : { ButtonPress, ButtonRelease })
        {
            XEvent e {};
            e.xbutton.type = type;
            e.xbutton.display = display;
            e.xbutton.window = target;
            e.xbutton.root = DefaultRootWindow (display);
            e.xbutton.x = x;
            e.xbutton.y = y;
            e.xbutton.x_root = x;
            e.xbutton.y_root = y;
            e.xbutton.button = Button1;
            e.xbutton.same_screen = True;
            e.xbutton.state = type == ButtonRelease ? Button1Mask : 0;
            XSendEvent (display, target, True, type == ButtonPress ? ButtonPressMask : ButtonReleaseMask, &e);
        }
        XSync (display, False);
    }

    std::pair<int, int> sizeOf (Window w) const
    {
        XSync (display, False);
        XWindowAttributes a {};
        XGetWindowAttributes (display, w, &a);
        return { a.width, a.height };
    }

    /** A container inside the window, as hosts nest the editor's parent. */
    Window addContainer (int x, int y, int width, int height)
    {
        if (display == nullptr)
            return 0;

        const auto child = XCreateSimpleWindow (display, window, x, y, (unsigned) width, (unsigned) height, 0, 0, 0);
        XMapWindow (display, child);
        XSync (display, False);
        return child;
    }

    Display* display = nullptr;
    Window window = 0;
};
