#include "NativeWindows.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <atomic>
#include <mutex>

#if defined(_WIN32)
 #include <windows.h>
#else
 #include <X11/Xlib.h>
#endif

namespace NativeWindows
{
namespace
{
// Counted by editors, which come and go on the message thread; atomic because
// that thread may move between host threads.
std::atomic<int> wheelHookUsers { 0 };
}

int getWheelHookUsers()
{
    return wheelHookUsers;
}

#if defined(_WIN32)
namespace
{
HHOOK wheelHook = nullptr; // message thread only, with the editors that use it

bool isMdiClient (HWND window)
{
    char className[32] = {};
    GetClassNameA (window, className, 31);
    return lstrcmpiA (className, "MDIClient") == 0;
}

SIZE outerSize (HWND window)
{
    RECT r {};
    GetWindowRect (window, &r);
    return { r.right - r.left, r.bottom - r.top };
}

// The 16-bit words of a mouse message's point, built without shifting a
// negative coordinate (screens left of or above the primary one).
LPARAM packedPoint (POINT pt)
{
    const auto word = [] (LONG v) { return (DWORD) (WORD) (v & 0xffff); };
    return (LPARAM) (LONG) ((word (pt.y) << 16) | word (pt.x));
}

// Wheel turns over the editor reach it even in hosts that keep wheel messages
// for their own windows.
LRESULT CALLBACK wheelHookProc (int code, WPARAM wParam, LPARAM lParam)
{
    if (code >= 0 && wParam == WM_MOUSEWHEEL)
    {
        const auto* info = reinterpret_cast<const MOUSEHOOKSTRUCTEX*> (lParam);
        const auto pt = info->pt;

        if (auto* component = juce::Desktop::getInstance().findComponentAt ({ (int) pt.x, (int) pt.y }))
            if (auto* handle = component->getWindowHandle())
                return PostMessageA ((HWND) handle, WM_MOUSEWHEEL, info->mouseData & 0xffff0000,
                                     packedPoint (pt));
    }

    return CallNextHookEx (nullptr, code, wParam, lParam);
}
} // namespace

void* findFrameWindow (void* window)
{
    auto w = (HWND) window;

    if (w == nullptr)
        return nullptr;

    const int frame = GetSystemMetrics (SM_CXFIXEDFRAME);

    for (;;)
    {
        const auto p = GetParent (w);

        if (p == nullptr)
            return w;

        if (isMdiClient (p))
            return p;

        const auto ps = outerSize (p), ws = outerSize (w);
        const int dw = ps.cx - ws.cx, dh = ps.cy - ws.cy;

        if (dw > 100 || dh > 100)
            return w;

        w = p;

        if (dw == 2 * frame)
            return w;
    }
}

void raiseFrameWindow (void* window)
{
    if (auto frame = (HWND) findFrameWindow (window))
        SetWindowPos (frame, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void fitHostWindows (void* window, int width, int height)
{
    const int frame = GetSystemMetrics (SM_CXFIXEDFRAME);
    constexpr UINT flags = SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOOWNERZORDER;
    auto w = (HWND) window;
    int dw = 0, dh = 0;

    while (w != nullptr)
    {
        const auto p = GetParent (w);

        if (p == nullptr || isMdiClient (p))
            break;

        const auto ws = outerSize (w), ps = outerSize (p);
        SetWindowPos (w, nullptr, 0, 0, width + dw, height + dh, flags);
        dw = ps.cx - ws.cx;
        dh = ps.cy - ws.cy;
        w = p;

        if (dw == 2 * frame)
            break;

        if (dw > 100 || dh > 100)
        {
            w = nullptr;
            break;
        }
    }

    if (w != nullptr)
        SetWindowPos (w, nullptr, 0, 0, width + dw, height + dh, flags);
}

void prodWindowEvents (void*) {}

void shutdown() {}

void* getWheelHookHandle()
{
    return wheelHook;
}

void addWheelHookUser()
{
    if (wheelHookUsers++ == 0)
        wheelHook = SetWindowsHookExA (WH_MOUSE, wheelHookProc, (HINSTANCE) juce::Process::getCurrentModuleInstanceHandle(),
                                       GetCurrentThreadId());
}

void removeWheelHookUser()
{
    if (--wheelHookUsers == 0 && wheelHook != nullptr)
    {
        UnhookWindowsHookEx (wheelHook);
        wheelHook = nullptr;
    }
}

#else
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

Window parentOf (Display* d, Window w, Window& root)
{
    Window parent = 0, * children = nullptr;
    unsigned int count = 0;

    if (XQueryTree (d, w, &root, &parent, &children, &count) == 0)
        return 0;

    if (children != nullptr)
        XFree (children);

    return parent == root ? 0 : parent;
}

bool sizeOf (Display* d, Window w, int& width, int& height)
{
    XWindowAttributes a {};

    if (XGetWindowAttributes (d, w, &a) == 0)
        return false;

    width = a.width;
    height = a.height;
    return true;
}
} // namespace

void* findFrameWindow (void* window)
{
    auto* d = display();

    if (d == nullptr || window == nullptr)
        return nullptr;

    // The host's top-level window: the last ancestor below the root.
    Window w = (Window) (uintptr_t) window, root = 0;

    while (auto p = parentOf (d, w, root))
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

void fitHostWindows (void* window, int width, int height)
{
    auto* d = display();

    if (d == nullptr || window == nullptr)
        return;

    // The same walk as on Windows, up to a window far larger than its child
    // or the top level; X11 has no fixed frame to stop at.
    Window w = (Window) (uintptr_t) window, root = 0;
    int dw = 0, dh = 0;

    while (w != 0)
    {
        const auto p = parentOf (d, w, root);
        int ww = 0, wh = 0, pw = 0, ph = 0;

        if (p == 0 || ! sizeOf (d, w, ww, wh) || ! sizeOf (d, p, pw, ph))
            break;

        XResizeWindow (d, w, (unsigned) juce::jmax (1, width + dw), (unsigned) juce::jmax (1, height + dh));
        dw = pw - ww;
        dh = ph - wh;
        w = p;

        if (dw > 100 || dh > 100)
        {
            w = 0;
            break;
        }
    }

    if (w != 0)
        XResizeWindow (d, w, (unsigned) juce::jmax (1, width + dw), (unsigned) juce::jmax (1, height + dh));

    XSync (d, False);
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
#endif
} // namespace NativeWindows
