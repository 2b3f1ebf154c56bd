#pragma once

// The few native-window operations the editor hosting needs: the frame window
// to raise, resizing the host's windows by hand, and the mouse-wheel hook.
// Windows uses its window functions; Linux hosts hand over X11 windows, where
// the same rules run on the X11 window tree. Message thread only; the X11
// side opens its connection on first use.

namespace NativeWindows
{
/** The host's frame window that holds `window` (Windows: the document window
    of a multiple-document host, or the window with a fixed frame around it). */
void* findFrameWindow (void* window);

/** Brings the host's frame window that holds `window` to the front. */
void raiseFrameWindow (void* window);

/** Resizes `window` to width x height and its host parents as the host would. */
void fitHostWindows (void* window, int width, int height);

/** Makes sure the framework reads the window-system events already waiting
    for `window`'s connection (a no-op where the host pumps the events). */
void prodWindowEvents (void* window);

/** Lets go of what the functions above opened; called when the last adapter goes. */
void shutdown();

/** The process-wide mouse-wheel hook: installed with the first editor, removed with the last. */
void addWheelHookUser();
void removeWheelHookUser();
int getWheelHookUsers();

/** The installed hook's handle (Windows), or null when none is installed. */
void* getWheelHookHandle();
} // namespace NativeWindows
