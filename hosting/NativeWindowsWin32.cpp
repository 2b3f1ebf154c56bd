// Native windows on Windows: the host's frame window, the primitives of the
// resize walk, and the wheel hook. Message thread only.

#include "NativeWindows.h"
#include "NativeWindowsPlatform.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <windows.h>

namespace NativeWindows
{
using detail::wheelHookUsers;

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

namespace platform
{
void* parentOf (void* window)
{
    const auto p = GetParent ((HWND) window);
    return p == nullptr || isMdiClient (p) ? nullptr : p;
}

bool sizeOf (void* window, int& width, int& height)
{
    const auto s = outerSize ((HWND) window);
    width = s.cx;
    height = s.cy;
    return true;
}

void resize (void* window, int width, int height)
{
    SetWindowPos ((HWND) window, nullptr, 0, 0, width, height, SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOOWNERZORDER);
}

int fixedFrameAllowance() { return 2 * GetSystemMetrics (SM_CXFIXEDFRAME); }

void flush() {}
} // namespace platform

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
} // namespace NativeWindows
