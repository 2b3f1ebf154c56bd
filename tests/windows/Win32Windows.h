#pragma once

// A host's windows on Windows: a top-level frame with a container child that
// the editor goes into, as hosts nest them; and the host's message loop.

#include "Colour.h"

#include <windows.h>

#include <chrono>
#include <functional>
#include <thread>
#include <utility>

namespace win32
{
inline const char* hostWindowClass()
{
    static const char* name = [] {
        WNDCLASSA c {};
        c.lpfnWndProc = DefWindowProcA;
        c.hInstance = GetModuleHandleA (nullptr);
        c.hbrBackground = (HBRUSH) GetStockObject (BLACK_BRUSH);
        c.lpszClassName = "PolyquintaTestHostWindow";
        RegisterClassA (&c);
        return c.lpszClassName;
    }();
    return name;
}

/** Runs the host's message loop for a while, calling `idle` about every 20 ms. */
inline void pump (int milliseconds, const std::function<void()>& idle = {})
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds (milliseconds);

    do
    {
        MSG m;
        while (PeekMessageA (&m, nullptr, 0, 0, PM_REMOVE))
        {
            TranslateMessage (&m);
            DispatchMessageA (&m);
        }

        if (idle)
            idle();

        std::this_thread::sleep_for (std::chrono::milliseconds (20));
    } while (std::chrono::steady_clock::now() < end);
}

inline std::pair<int, int> outerSize (HWND w)
{
    RECT r {};
    GetWindowRect (w, &r);
    return { (int) (r.right - r.left), (int) (r.bottom - r.top) };
}

struct HostWindows
{
    explicit HostWindows (int y = 0)
    {
        RECT r { 0, 0, 1016, 270 }; // the container with a 10-pixel margin
        AdjustWindowRect (&r, WS_OVERLAPPEDWINDOW, FALSE);
        frame = CreateWindowA (hostWindowClass(), "Polyquinta test host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                               40, 40 + y, r.right - r.left, r.bottom - r.top, nullptr, nullptr, GetModuleHandleA (nullptr), nullptr);
        container = CreateWindowA (hostWindowClass(), "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN,
                                   10, 10, 996, 250, frame, nullptr, GetModuleHandleA (nullptr), nullptr);
        ShowWindow (frame, SW_SHOWNORMAL);
        UpdateWindow (frame);
        pump (50);
    }

    ~HostWindows() { DestroyWindow (frame); }

    /** The editor's native window: the container's child. */
    HWND editorWindow() const { return GetWindow (container, GW_CHILD); }

    /** What the screen shows at a point of the editor. */
    Colour editorColourAt (int x, int y) const
    {
        POINT p { x, y };
        ClientToScreen (container, &p);
        auto screen = GetDC (nullptr);
        const auto c = GetPixel (screen, p.x, p.y);
        ReleaseDC (nullptr, screen);
        return { GetRValue (c), GetGValue (c), GetBValue (c) };
    }

    HWND frame = nullptr, container = nullptr;
};
} // namespace win32
