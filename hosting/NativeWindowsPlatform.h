#pragma once

// The primitives the shared host-window walk runs on, one set per window
// system (NativeWindowsWin32.cpp, NativeWindowsX11.cpp). Message thread only.

#include <atomic>

namespace NativeWindows::detail
{
/** The editors using the wheel hook (NativeWindows.cpp). */
extern std::atomic<int> wheelHookUsers;
} // namespace NativeWindows::detail

namespace NativeWindows::platform
{
/** The parent the walk may continue to, or null at the top (and, on Windows,
    below a multiple-document client window). */
void* parentOf (void* window);

/** The window's outer size; false when the window system cannot tell. */
bool sizeOf (void* window, int& width, int& height);

void resize (void* window, int width, int height);

/** The width a fixed frame adds around its child, or -1 where there is none. */
int fixedFrameAllowance();

/** Sends what the walk asked for to the window system. */
void flush();
} // namespace NativeWindows::platform
