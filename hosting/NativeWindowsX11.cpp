// Native windows on Linux: hosts hand over X11 windows, reached through a
// connection of our own. The host's frame window, the primitives of the
// resize walk, and the wheel count. Message thread only.

#include "NativeWindows.h"
#include "NativeWindowsPlatform.h"

#include <juce_core/juce_core.h>

#include <mutex>

#include <X11/Xlib.h>

namespace NativeWindows
{
using detail::wheelHookUsers;

namespace
{
// A connection of our own: the host's windows are reached through the X
// server, whichever connection created them. Opened on first use, closed
// when the last adapter goes (before the host may unload the library).
// Opened and closed under connectionLock; used by the message thread only,
// which it may not outlive (the last adapter closes no earlier).
std::mutex connectionLock;
Display* connection = nullptr;
Atom wakeAtom = 0; // message thread only, as every use of the connection

Display* display()
{
    const std::lock_guard<std::mutex> lock (connectionLock);

    if (connection == nullptr)
        connection = XOpenDisplay (nullptr);

    return connection;
}

Window xParentOf (Display* d, Window w, Window& root)
{
    Window parent = 0, *children = nullptr;
    unsigned int count = 0;

    if (XQueryTree (d, w, &root, &parent, &children, &count) == 0)
        return 0;

    if (children != nullptr)
        XFree (children);

    return parent == root ? 0 : parent;
}

bool xSizeOf (Display* d, Window w, int& width, int& height)
{
    XWindowAttributes a {};

    if (XGetWindowAttributes (d, w, &a) == 0)
        return false;

    width = a.width;
    height = a.height;
    return true;
}

Window asWindow (void* w) { return (Window) (uintptr_t) w; }
} // namespace

namespace platform
{
void* parentOf (void* window)
{
    auto* d = display();
    Window root = 0;
    return d == nullptr ? nullptr : (void*) (uintptr_t) xParentOf (d, asWindow (window), root);
}

bool sizeOf (void* window, int& width, int& height)
{
    auto* d = display();
    return d != nullptr && xSizeOf (d, asWindow (window), width, height);
}

void resize (void* window, int width, int height)
{
    if (auto* d = display())
        XResizeWindow (d, asWindow (window), (unsigned) juce::jmax (1, width), (unsigned) juce::jmax (1, height));
}

int fixedFrameAllowance() { return -1; } // X11 has no fixed frame to stop at

void flush()
{
    if (auto* d = display())
        XSync (d, False);
}
} // namespace platform

void* findFrameWindow (void* window)
{
    auto* d = display();

    if (d == nullptr || window == nullptr)
        return nullptr;

    // The host's top-level window: the last ancestor below the root.
    Window w = (Window) (uintptr_t) window, root = 0;

    while (auto p = xParentOf (d, w, root))
        w = p;

    return (void*) (uintptr_t) w;
}

void raiseFrameWindow (void* window)
{
    if (auto frame = findFrameWindow (window))
    {
        XRaiseWindow (display(), (Window) (uintptr_t) frame);
        XFlush (display());
    }
}

void prodWindowEvents (void* window)
{
    // The framework reads its X connection only when the socket has data;
    // events that Xlib already queued during an earlier request (the window's
    // first configure and expose among them) would wait for the next unrelated
    // event. A message of no meaning to the framework wakes the socket.
    auto* d = display();

    if (d == nullptr || window == nullptr)
        return;

    if (wakeAtom == 0)
        wakeAtom = XInternAtom (d, "POLYQUINTA_WAKE", False);

    XEvent e {};
    e.xclient.type = ClientMessage;
    e.xclient.window = (Window) (uintptr_t) window;
    e.xclient.message_type = wakeAtom;
    e.xclient.format = 8;
    XSendEvent (d, e.xclient.window, False, NoEventMask, &e);
    XSync (d, False);
}

void shutdown()
{
    const std::lock_guard<std::mutex> lock (connectionLock);

    if (connection != nullptr)
    {
        XCloseDisplay (connection);
        connection = nullptr;
        wakeAtom = 0;
    }
}

// X11 delivers the wheel to the window under the pointer: no hook is needed,
// only the count is kept.
void* getWheelHookHandle()
{
    return nullptr;
}

void addWheelHookUser()
{
    ++wheelHookUsers;
}

void removeWheelHookUser()
{
    --wheelHookUsers;
}
} // namespace NativeWindows
