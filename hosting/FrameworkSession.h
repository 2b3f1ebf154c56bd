#pragma once

#include <mutex>

// The framework's user-interface side, shared by every adapter in the process.
// Any host thread may call these (but the last); they block on the lock and allocate.

/** Held while an adapter is made or unmade, and while the framework starts or
    shuts down with the first and last of them: hosts do both from any thread. */
std::recursive_mutex& adapterLifecycleLock();

/** Starts the framework's user-interface side if it is not running; the first
    thread to get here becomes its message thread. Call with the lock held. */
void startFrameworkUserInterface();

/** Shuts it down once the last adapter is gone. Call with the lock held. */
void shutDownFrameworkUserInterface();

#if ! defined(_WIN32)
/** Linux hosts drive the user interface through idle calls: this delivers the
    framework's pending messages (timers, change messages) and the window-system
    events waiting for the editor's `window` (may be null). Message thread only. */
void deliverPendingMessages (void* window);
#endif
