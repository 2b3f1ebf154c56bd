// What the editor hosting does with native windows the same way everywhere:
// the walk that resizes the host's windows around the editor, and the count
// of editors using the wheel hook. Message thread only.

#include "NativeWindows.h"
#include "NativeWindowsPlatform.h"

#include <atomic>

namespace NativeWindows
{
namespace detail
{
// Counted by editors, which come and go on the message thread; atomic because
// that thread may move between host threads.
std::atomic<int> wheelHookUsers { 0 };
} // namespace detail

int getWheelHookUsers()
{
    return detail::wheelHookUsers;
}

void fitHostWindows (void* window, int width, int height)
{
    // Up the parents, each one resized to keep its margin around the editor,
    // until a fixed frame (which is resized too), the top, or a parent far
    // larger than its child (a host's own layout, left alone).
    const int frameAllowance = platform::fixedFrameAllowance();
    auto* w = window;
    int dw = 0, dh = 0;

    while (w != nullptr)
    {
        auto* p = platform::parentOf (w);
        int ww = 0, wh = 0, pw = 0, ph = 0;

        if (p == nullptr || ! platform::sizeOf (w, ww, wh) || ! platform::sizeOf (p, pw, ph))
            break;

        platform::resize (w, width + dw, height + dh);
        dw = pw - ww;
        dh = ph - wh;
        w = p;

        if (dw == frameAllowance)
            break;

        if (dw > 100 || dh > 100)
        {
            w = nullptr;
            break;
        }
    }

    if (w != nullptr)
        platform::resize (w, width + dw, height + dh);

    platform::flush();
}
} // namespace NativeWindows
