#pragma once

// A host's windows for the editor, on either platform: a top-level frame with
// a container that the editor goes into, as hosts nest them, placed `y`
// pixels down so that several can be seen at once; the colour the screen
// shows at a point of the editor; window sizes; and the host's idle loop
// (idleFor).

#if defined(_WIN32)
 #include "windows/Win32Windows.h"

using HostWindows = win32::HostWindows;
inline bool haveDisplay() { return true; }

template <typename Idle>
void idleFor (int milliseconds, Idle&& idle)
{
    win32::pump (milliseconds, idle);
}

inline std::pair<int, int> sizeOf (const HostWindows&, HWND w) { return win32::outerSize (w); }
#else
 #include "X11HostWindow.h" // after the test framework: X11 defines None

struct HostWindows
{
    explicit HostWindows (int y = 0) : host (y, 1016, 290) {}

    Window editorWindow() const
    {
        const auto kids = host.children (container);
        return kids.empty() ? 0 : kids.front();
    }

    Colour editorColourAt (int x, int y) const { return host.colourAt (10 + x, 30 + y); }

    HostWindow host;
    Window frame = host.window, container = host.addContainer (10, 30, 996, 250);
};

inline std::pair<int, int> sizeOf (const HostWindows& windows, Window w) { return windows.host.sizeOf (w); }
#endif
