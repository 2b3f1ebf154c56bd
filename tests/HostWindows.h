#pragma once

// A host's windows for the editor, on either platform: a top-level frame with
// a container that the editor goes into, as hosts nest them, placed `y`
// pixels down so that several can be seen at once; the colour the screen
// shows at a point of the editor; window sizes; the host's idle loop
// (idleFor); and what an editor must show.

#include <gtest/gtest.h>

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

// Where the editor shows the notes and the areas.
inline int keyCentreX (int note)
{
    // White keys 16 pixels wide from key 24 at x 10; the lower half of the key shows the overlay.
    static const int whiteIndex[] = { 0, -1, 1, -1, 2, 3, -1, 4, -1, 5, -1, 6 };
    const int octave = (note - 24) / 12, inOctave = (note - 24) % 12;
    return 10 + (octave * 7 + whiteIndex[inOctave]) * 16 + 8;
}

constexpr int keyY = 218, barY = 233;

/** The editor shows the worked block's first block: the melody and a voice
    down, the bars of split point 48, harmony on. */
template <typename Window>
void expectShowsTheWorkedChord (const Window& host)
{
    EXPECT_TRUE (host.editorColourAt (keyCentreX (72), keyY).isRed()); // the melody
    EXPECT_TRUE (host.editorColourAt (keyCentreX (64), keyY).isRed()); // a voice
    EXPECT_FALSE (host.editorColourAt (keyCentreX (62), keyY).isRed());
    EXPECT_TRUE (host.editorColourAt (100, barY).isRed()); // chord bar up to the split key
    EXPECT_TRUE (host.editorColourAt (240, barY).isBlue()); // solo bar from 48
    EXPECT_TRUE (host.editorColourAt (740, 90).isGreen()); // harmony on
}

/** The bars once key 60 is the split point. */
template <typename Window>
void expectSplitAt60 (const Window& host)
{
    EXPECT_TRUE (host.editorColourAt (300, barY).isRed());
    EXPECT_TRUE (host.editorColourAt (350, barY).isBlue());
}
